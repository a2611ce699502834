// The light pass: the scene seen from each light, drawn into the render
// target through the framebuffer object that shares its name.
#include "CpGl.h"

namespace {

// A depth buffer of the render target's size, so that the depth test keeps
// the surface nearest the light instead of the triangle drawn last.
GLuint MakeDepthBuffer(GLuint renderTarget) {
  GLint width = 0, height = 0, bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  glBindTexture(GL_TEXTURE_2D, renderTarget);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  glBindTexture(GL_TEXTURE_2D, (GLuint)bound);
  GLuint name = 0;
  glGenRenderbuffersEXT(1, &name);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, name);
  glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, width, height);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
  return name;
}

}  // namespace

void CCpGl::RenderLights() {
  if (iLightCount > 0 && dwShadowDepthBuffer == 0) dwShadowDepthBuffer = MakeDepthBuffer(pTextureArray[0]);

  for (int i = 0; i < iLightCount; ++i) {
    const SLightObject& light = pLightObjectArray[i];
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, pTextureArray[0]);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, pTextureArray[0],
                              0);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                 dwShadowDepthBuffer);
    glEnable(GL_DEPTH_TEST);
    Clear();
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glViewport(0, 0, light.resWidth, light.resHeight);
    glFrustum(light.width / -2, light.width / 2, light.height / -2, light.height / 2, light.near, light.far);

    for (int j = 0; j < iGraphicObjectCount; ++j) {
      const SGraphicObject& object = pGraphicObjectArray[j];
      glMatrixMode(GL_MODELVIEW);
      glLoadIdentity();
      glRotatef(light.ax, 1, 0, 0);
      glRotated((double)light.ay, 0, 1, 0);
      glTranslated((double)-light.x, (double)-light.y, (double)-light.z);
      glUseProgramObjectARB(programObject);
      PrepairShaders();
      glUseProgramObjectARB(emptyShader);
      glTranslated((double)object.x, (double)object.y, (double)object.z);
      glActiveTextureARB(GL_TEXTURE0);
      glBindTexture(GL_TEXTURE_2D, pTextureArray[0]);
      glDrawElements(GL_TRIANGLES, (GLsizei)object.iIndexCount, GL_UNSIGNED_INT, object.pIndexArray);
    }
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  }
  glUseProgramObjectARB(programObject);
}
