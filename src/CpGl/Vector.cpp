#include <cmath>
#include <iostream>

#include "CpGl.h"

Vector3f Vector3f::CrossProduct(Vector3f v) {
  return Vector3f(y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x);
}

Vector3f Vector3f::Rescale(float f) {
  // Held in single precision on purpose: a tiny vector's square underflows to 0.
  float l = x * x + y * y + z * z;
  if (l == 0) {
    std::cout << "Error: div 0 in Vector3d::Rescale()\n";
    return *this;
  }
  float quotient = f / l;
  float a = (float)std::sqrt((double)quotient);
  x = x * a;
  y = y * a;
  z = z * a;
  return *this;
}
