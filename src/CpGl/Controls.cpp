// Camera and light controls: relative changes applied by the input pass.
#include <cmath>

#include "CpGl.h"

void CCpGl::AddToAngles(float a, float b) {
  ax = ax + a;
  ay = ay + b;
  // Back one degree inside the limit, so the view never looks straight up or down.
  if (ax >= 90) ax = 89;
  if (ax <= -90) ax = -89;

  // Radians with 3.14 for pi, as the movement keys have always used.
  float p = ax / 180 * 3.14f;
  float q = ay / 180 * 3.14f;
  dx = (float)(std::cos((double)p) * sinf(q));
  dy = (float)std::sin((double)(ax / 180 * (-3.14f)));
  dz = (float)(std::cos((double)p) * (-cosf(q)));
}

// Without a loaded scene there is no light to move.
void CCpGl::AddToLightPos(float x, float y, float z) {
  if (iLightCount < 1) return;
  SLightObject& light = pLightObjectArray[0];
  light.x += x;
  light.y += y;
  light.z += z;
}

void CCpGl::AddToLightAngle(float ax, float ay) {
  if (iLightCount < 1) return;
  SLightObject& light = pLightObjectArray[0];
  light.ax += ax;
  light.ay += ay;
}
