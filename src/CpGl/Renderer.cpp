// The renderer's construction: GLEW, the fixed OpenGL state, the camera,
// then the scene and the shader programs.
#include "CpGl.h"  // glew.h must come before the other OpenGL headers

#include <GL/glu.h>

#include <cstdlib>
#include <iostream>


void WriteGlErrorLine() { std::cout << (const char*)gluErrorString(glGetError()) << std::endl; }

namespace {

[[noreturn]] void ExitMissing(const char* what) {
  std::cout << "Error: OpenGL lacks " << what << std::endl;
  std::exit(1);
}

// Everything the passes call must exist before the first frame, or the
// program would crash through a null entry point later.
void RequireEntryPoints() {
  GLenum status = glewInit();
  if (status != GLEW_OK) {
    std::cout << "Error: glewInit failed: " << (const char*)glewGetErrorString(status) << std::endl;
    std::exit(1);
  }
  if (!glGenBuffers || !glBindBuffer || !glBufferData) ExitMissing("buffer objects (OpenGL 1.5)");
  if (!glActiveTexture || !glActiveTextureARB) ExitMissing("multitexture");
  if (!glCreateProgramObjectARB || !glCreateShaderObjectARB || !glShaderSourceARB || !glCompileShaderARB ||
      !glGetObjectParameterivARB || !glGetInfoLogARB || !glAttachObjectARB || !glLinkProgramARB ||
      !glUseProgramObjectARB)
    ExitMissing("ARB shader objects");
  if (!glGetUniformLocation || !glUniform1i || !glUniform3fv || !glUniformMatrix4fv)
    ExitMissing("the OpenGL 2.0 uniform calls");
  if (!glBindFramebufferEXT || !glFramebufferTexture2DEXT || !glGenRenderbuffersEXT ||
      !glBindRenderbufferEXT || !glRenderbufferStorageEXT || !glFramebufferRenderbufferEXT)
    ExitMissing("EXT framebuffer objects");
}

}  // namespace

CCpGl::CCpGl()
    : vbos{0, 0, 0},
      pGraphicObjectArray(nullptr),
      iGraphicObjectCount(0),
      pVertexArray(nullptr),
      pNormalArray(nullptr),
      lVertexCount(0),
      pTexCordArray(nullptr),
      lTexCordCount(0),
      pLightObjectArray(nullptr),
      iLightCount(0),
      programObject(0),
      fragmentShader(0),
      emptyShader(0),
      vertexShader(0),
      pTextureArray(nullptr),
      iTextureCount(0),
      dwShadowDepthBuffer(0) {
  RequireEntryPoints();

  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);

  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  glFrontFace(GL_CCW);
  glEnable(GL_CULL_FACE);

  glViewport(0, 0, 640, 480);

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluLookAt(0.0, 0.0, 0.0, 0.0, 0.0, -1.0, 0.0, 1.0, 0.0);

  sPos = Vector3f(0, 0, 0);
  dy = 0;
  dx = 0;
  dz = -1;
  ay = 0;
  ax = 0;
  lmap = 0;

  std::cout << "Init: CpGl\n";
  LoadObjects();
  WriteGlErrorLine();

  if (LoadShaders())
    std::cout << "Shaders loaded\n";
  else
    std::cout << "Failed to load shaders\n";

  std::cout << "evo " << (float)GL_COMPARE_R_TO_TEXTURE << std::endl;
}

void CCpGl::Clear() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glClearDepth(1.0);
}
