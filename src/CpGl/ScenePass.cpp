// The frame: the light pass, then the scene drawn from the camera.
#include "CpGl.h"

void CCpGl::Draw() {
  glBindBuffer(GL_ARRAY_BUFFER, vbos[0]);
  RenderLights();
  Clear();
  glEnable(GL_TEXTURE_2D);
  for (int i = 0; i < iGraphicObjectCount; ++i) {
    const SGraphicObject& object = pGraphicObjectArray[i];
    PrepairObjectForDrawing(i);
    glActiveTextureARB(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, pTextureArray[0]);
    glActiveTextureARB(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, pTextureArray[object.Texture]);
    glDrawElements(GL_TRIANGLES, (GLsizei)object.iIndexCount, GL_UNSIGNED_INT, object.pIndexArray);
  }
}

void CCpGl::PrepairObjectForDrawing(int i) {
  const SGraphicObject& object = pGraphicObjectArray[i];
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glViewport(0, 0, 640, 480);
  glFrustum(-0.1, 0.1, -0.1, 0.1, 0.1, 1000.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glRotatef(ax, 1, 0, 0);
  glRotated((double)ay, 0, 1, 0);
  glTranslated((double)(object.x - sPos.x), (double)(object.y - sPos.y), (double)(object.z - sPos.z));
}
