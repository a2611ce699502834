// Shared by the shader, uniform, scene-pass and light-pass tests: a renderer
// with its protected steps exposed, tiny shader fixtures, scenes made of
// quads, and an independent model of the camera and light projections.
#ifndef VANTREL_PASS_TEST_SUPPORT_H
#define VANTREL_PASS_TEST_SUPPORT_H

#include "CpGl.h"  // glew.h must come before the other OpenGL headers
#include "GlWindow.h"
#include "KeepAlive.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace passtest {

class TestGl : public CCpGl {
 public:
  using CCpGl::LoadShaders;
  using CCpGl::PrepairShaders;
  using CCpGl::RenderLights;
};

// Passes position and texture coordinate through the fixed-function matrices.
inline const char* kVertexShader =
    "void main() {\n"
    "  gl_TexCoord[0] = gl_MultiTexCoord0;\n"
    "  gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;\n"
    "}\n";

// Light pass: red is the fragment's depth, green marks "drawn" (the
// cleared render target reads 0 there).
inline const char* kDepthShader = "void main() { gl_FragColor = vec4(gl_FragCoord.z, 1.0, 0.0, 1.0); }\n";

// Scene pass: the object's own texture, as it is.
inline const char* kTextureShader =
    "uniform sampler2D tex;\n"
    "uniform sampler2D sha;\n"
    "void main() { gl_FragColor = texture2D(tex, gl_TexCoord[0].xy) + 0.0 * texture2D(sha, vec2(0.5)); }\n";

// Scene pass: one flat colour, whatever the textures hold.
inline const char* kFlatShader =
    "uniform sampler2D sha;\n"
    "void main() { gl_FragColor = vec4(1.0, 0.5, 0.25, 1.0) + 0.0 * texture2D(sha, vec2(0.5)); }\n";

struct SVec {
  double x, y, z;
};

inline SVec operator+(SVec a, SVec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline SVec operator-(SVec a, SVec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline SVec operator*(double s, SVec a) { return {s * a.x, s * a.y, s * a.z}; }

inline double Radians(double degrees) { return degrees * 3.14159265358979323846 / 180.0; }

// An eye (camera or light) as both passes place it: a vertex p reaches eye
// space as Rx(ax) * Ry(ay) * (p - position).
struct SEye {
  SVec position;
  double ax;
  double ay;

  SVec ToEye(SVec p) const {
    SVec q = p - position;
    double cy = std::cos(Radians(ay)), sy = std::sin(Radians(ay));
    SVec r{cy * q.x + sy * q.z, q.y, -sy * q.x + cy * q.z};
    double cx = std::cos(Radians(ax)), sx = std::sin(Radians(ax));
    return {r.x, cx * r.y - sx * r.z, sx * r.y + cx * r.z};
  }
  // World directions of the eye's right and up axes (the rotation's transpose).
  SVec Right() const { return FromEye({1, 0, 0}); }
  SVec Up() const { return FromEye({0, 1, 0}); }
  SVec FromEye(SVec v) const {
    double cx = std::cos(Radians(ax)), sx = std::sin(Radians(ax));
    SVec r{v.x, cx * v.y + sx * v.z, -sx * v.y + cx * v.z};
    double cy = std::cos(Radians(ay)), sy = std::sin(Radians(ay));
    return {cy * r.x - sy * r.z, r.y, sy * r.x + cy * r.z};
  }
};

// A symmetric frustum drawn into a viewport of width x height pixels.
struct SLens {
  double halfWidth;  // of the window on the near plane
  double halfHeight;
  double nearPlane;
  double farPlane;
  int width;
  int height;
};

inline SLens CameraLens() { return {0.1, 0.1, 0.1, 1000.0, 640, 480}; }

// Window coordinates (pixels, origin bottom left) of an eye-space point in front of the eye.
inline void Project(const SLens& lens, SVec eye, double& wx, double& wy) {
  double ndcX = lens.nearPlane / lens.halfWidth * eye.x / -eye.z;
  double ndcY = lens.nearPlane / lens.halfHeight * eye.y / -eye.z;
  wx = (ndcX + 1) / 2 * lens.width;
  wy = (ndcY + 1) / 2 * lens.height;
}

// Window depth of an eye-space distance d in front of the eye.
inline double WindowDepth(const SLens& lens, double d) {
  double n = lens.nearPlane, f = lens.farPlane;
  double ndc = (f + n) / (f - n) - 2 * f * n / ((f - n) * d);
  return (ndc + 1) / 2;
}

// A rectangle of pixels, max exclusive; empty when minX >= maxX.
struct SBox {
  double minX, minY, maxX, maxY;
  bool Empty() const { return minX >= maxX || minY >= maxY; }
};

// The part of the viewport that a quad of the given world corners covers.
inline SBox ExpectedBox(const SEye& eye, const SLens& lens, const std::vector<SVec>& corners) {
  SBox box{1e9, 1e9, -1e9, -1e9};
  for (SVec c : corners) {
    double wx, wy;
    Project(lens, eye.ToEye(c), wx, wy);
    box.minX = std::min(box.minX, wx);
    box.maxX = std::max(box.maxX, wx);
    box.minY = std::min(box.minY, wy);
    box.maxY = std::max(box.maxY, wy);
  }
  box.minX = std::max(box.minX, 0.0);
  box.minY = std::max(box.minY, 0.0);
  box.maxX = std::min(box.maxX, (double)lens.width);
  box.maxY = std::min(box.maxY, (double)lens.height);
  return box;
}

// The bounding box of the pixels (RGBA rows, bottom first) that `lit` accepts.
template <class Pred>
SBox LitBox(const std::vector<unsigned char>& rgba, int width, int height, Pred lit) {
  SBox box{1e9, 1e9, -1e9, -1e9};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const unsigned char* p = &rgba[((size_t)y * width + x) * 4];
      if (!lit(p)) continue;
      box.minX = std::min(box.minX, (double)x);
      box.minY = std::min(box.minY, (double)y);
      box.maxX = std::max(box.maxX, (double)x + 1);
      box.maxY = std::max(box.maxY, (double)y + 1);
    }
  return box;
}

inline void ExpectBoxNear(const SBox& actual, const SBox& expected, double tolerance) {
  EXPECT_NEAR(actual.minX, expected.minX, tolerance);
  EXPECT_NEAR(actual.maxX, expected.maxX, tolerance);
  EXPECT_NEAR(actual.minY, expected.minY, tolerance);
  EXPECT_NEAR(actual.maxY, expected.maxY, tolerance);
}

// The four corners of a square of half-size `half` around `centre`, spanned
// by the directions `right` and `up`.
inline std::vector<SVec> Square(SVec centre, SVec right, SVec up, double half) {
  return {centre - half * right - half * up, centre + half * right - half * up,
          centre + half * right + half * up, centre - half * right + half * up};
}

// World.obj bytes of quads, four vertices each; every quad is written with
// both windings, so one of them survives back-face culling from any side.
// After loading, quad k is corner indices 12k to 12k + 11.
inline std::vector<unsigned char> QuadWorld(const std::vector<std::vector<SVec>>& quads) {
  std::vector<float> vertices;
  std::vector<uint32_t> indices;
  for (const std::vector<SVec>& quad : quads) {
    uint32_t base = (uint32_t)(vertices.size() / 3);
    for (SVec c : quad) {
      vertices.push_back((float)c.x);
      vertices.push_back((float)c.y);
      vertices.push_back((float)c.z);
    }
    for (uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u, 0u, 2u, 1u, 0u, 3u, 2u}) indices.push_back(base + i);
  }
  return MakeWorld(vertices, indices);
}

struct SShaderFiles {
  std::string vertex = kVertexShader;
  std::string light = kDepthShader;
  std::string scene = kTextureShader;
};

inline void WriteShaders(const ScratchDir& dir, const SShaderFiles& files) {
  dir.Write("vshader.sh", files.vertex);
  dir.Write("emptyshader.sh", files.light);
  dir.Write("shader.sh", files.scene);
}

// Opens the window and builds a renderer from the files in the scratch
// folder; its start-up output is kept in `output` when asked for.
inline KeptPtr<TestGl> MakeRenderer(std::string* output = nullptr) {
  // Mesa's shader cache skips compiling a source it has linked before, and
  // such a compile leaves an empty log: the log tests need real compiles.
  setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
  OpenGlWindow();
  KeptPtr<TestGl> gl;
  std::string text = CaptureOutput([&] { gl.reset(new TestGl()); });
  if (output) *output = text;
  return gl;
}

// Writes the scene and the shaders, then builds the renderer.
inline KeptPtr<TestGl> MakeScene(const ScratchDir& dir, const std::vector<std::vector<SVec>>& quads,
                                 const SShaderFiles& files = SShaderFiles()) {
  dir.Write("World.obj", QuadWorld(quads));
  WriteShaders(dir, files);
  KeptPtr<TestGl> gl = MakeRenderer();
  if (gl && gl->iGraphicObjectCount != 1) ADD_FAILURE() << "the fixture scene did not load";
  return gl;
}

// Turns the loaded object, one run of quads, into one object per quad, all
// at the origin and sampling texture index 1.
inline void OneObjectPerQuad(CCpGl& gl, int quads) {
  GLuint* indices = gl.pGraphicObjectArray[0].pIndexArray;
  KeepUntilExit(gl.pGraphicObjectArray);
  gl.pGraphicObjectArray = new SGraphicObject[quads];
  gl.iGraphicObjectCount = quads;
  for (int k = 0; k < quads; ++k)
    gl.pGraphicObjectArray[k] = SGraphicObject{indices + 12 * k, 1, 12, 0, 0, 0};
}

// A 1 x 1 texture of one colour.
inline GLuint SolidTexture(unsigned char r, unsigned char g, unsigned char b, unsigned char a = 255) {
  const unsigned char texel[4] = {r, g, b, a};
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
  return name;
}

// Replaces the texture table by the render target followed by `extra`.
inline void SetTextures(CCpGl& gl, const std::vector<GLuint>& extra) {
  GLuint* table = new GLuint[extra.size() + 1];
  table[0] = gl.pTextureArray[0];
  for (size_t i = 0; i < extra.size(); ++i) table[i + 1] = extra[i];
  KeepUntilExit(gl.pTextureArray);
  gl.pTextureArray = table;
  gl.iTextureCount = (GLuint)extra.size() + 1;
}

inline SLightObject MakeLight(SVec position, float ax, float ay, float width = 0.2f, float height = 0.2f,
                              float nearPlane = 0.1f, float farPlane = 1000.0f) {
  return SLightObject{(float)position.x,
                      (float)position.y,
                      (float)position.z,
                      ax,
                      ay,
                      nearPlane,
                      farPlane,
                      width,
                      height,
                      1024,
                      1024};
}

inline void SetLights(CCpGl& gl, const std::vector<SLightObject>& lights) {
  KeepUntilExit(gl.pLightObjectArray);
  gl.pLightObjectArray = new SLightObject[lights.size() + 1];
  std::copy(lights.begin(), lights.end(), gl.pLightObjectArray);
  gl.iLightCount = (int)lights.size();
}

inline SLens LightLens(const SLightObject& light) {
  return {light.width / 2.0, light.height / 2.0,  light.near,
          light.far,         (int)light.resWidth, (int)light.resHeight};
}

inline SEye LightEye(const SLightObject& light) { return {{light.x, light.y, light.z}, light.ax, light.ay}; }

}  // namespace passtest

#endif
