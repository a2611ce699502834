// The renderer: vector types, the drawable and light records, and CCpGl.
#ifndef VANTREL_CPGL_H
#define VANTREL_CPGL_H

#include <GL/glew.h>

class Vector3f {
public:
  float x;
  float y;
  float z;

  Vector3f() {}
  Vector3f(float X, float Y, float Z) : x(X), y(Y), z(Z) {}

  Vector3f operator-(Vector3f v) { return Vector3f(x - v.x, y - v.y, z - v.z); }
  Vector3f operator+(Vector3f v) { return Vector3f(x + v.x, y + v.y, z + v.z); }

  Vector3f CrossProduct(Vector3f v);
  // Sets the length to sqrt(f): the argument is the squared length wanted.
  Vector3f Rescale(float f);
};

class Vector2f {
public:
  float u;
  float v;

  Vector2f() {}
  Vector2f(float U, float V) : u(U), v(V) {}
};

struct SGraphicObject {
  GLuint* pIndexArray;  // client-side indices, three per triangle
  GLuint Texture;       // index into CCpGl::pTextureArray, not a texture name
  long iIndexCount;
  float x;
  float y;
  float z;
};

struct SLightObject {
  float x;
  float y;
  float z;
  float ax;  // pitch, degrees
  float ay;  // yaw, degrees
  float near;
  float far;
  float width;
  float height;
  GLuint resWidth;
  GLuint resHeight;
};

class CCpGl {
public:
  unsigned int vbos[3];  // positions, texture coordinates, normals
  SGraphicObject* pGraphicObjectArray;
  int iGraphicObjectCount;
  Vector3f* pVertexArray;
  Vector3f* pNormalArray;
  long lVertexCount;
  Vector2f* pTexCordArray;
  long lTexCordCount;
  SLightObject* pLightObjectArray;
  int iLightCount;
  GLhandleARB programObject;
  GLhandleARB fragmentShader;
  GLhandleARB emptyShader;
  GLhandleARB vertexShader;
  GLuint* pTextureArray;  // [0] render target, [1] tex2.bmp
  GLuint iTextureCount;
  Vector3f sPos;
  float ax;  // camera pitch, degrees; positive looks down
  float ay;  // camera yaw, degrees; positive turns towards +x
  GLint lmap;
  float dx;  // unit view direction, derived from ax and ay
  float dy;
  float dz;
  // Depth attachment of the light-pass framebuffer, made on the first light pass.
  GLuint dwShadowDepthBuffer;

  CCpGl();

  int LoadObjects();
  GLuint LoadTexture(GLuint x, GLuint y, const char* TextName);
  void Draw();

  void AddToPos(Vector3f v) {
    sPos.x += v.x;
    sPos.y += v.y;
    sPos.z += v.z;
  }
  void AddToAngles(float a, float b);
  void AddToLightPos(float x, float y, float z);
  void AddToLightAngle(float ax, float ay);

protected:
  void Clear();
  void PrepairObjectForDrawing(int i);
  void RenderLights();
  int LoadShaders();
  void PrepairShaders();
  void CompileObjects();
};

// Writes the text of the pending OpenGL error (GL_NO_ERROR included) and a flushed newline.
void WriteGlErrorLine();

#endif
