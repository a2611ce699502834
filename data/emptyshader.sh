#version 120
// Light pass: writes the depth of the nearest surface as seen from the light.
// The depth is the distance along the light's axis, mapped linearly to [0, 1]
// between the near and far planes, and stored as 1 - depth in four base-256
// digits, one per channel. A cleared texel (all zeros) therefore reads as
// depth 1, the far plane: nothing there, so whatever is behind it is lit.

varying vec3 vEye;

// 1 - 2^-24: the largest value below 1 whose digits all fit in the channels.
const float kBelowOne = 16777215.0 / 16777216.0;

// Digits k are stored as k / 255, which an 8-bit channel holds exactly.
vec4 PackUnit(float v) {
  float x = clamp(v, 0.0, kBelowOne) * 256.0;
  vec4 digits;
  digits.r = floor(x);
  x = (x - digits.r) * 256.0;
  digits.g = floor(x);
  x = (x - digits.g) * 256.0;
  digits.b = floor(x);
  x = (x - digits.b) * 256.0;
  digits.a = floor(x);
  return digits / 255.0;
}

void main() {
  // A frustum's projection holds -(f + n) / (f - n) and -2fn / (f - n).
  float a = gl_ProjectionMatrix[2][2];
  float b = gl_ProjectionMatrix[3][2];
  float nearPlane = b / (a - 1.0);
  float farPlane = b / (a + 1.0);
  float depth = clamp((-vEye.z - nearPlane) / (farPlane - nearPlane), 0.0, 1.0);
  gl_FragColor = PackUnit(1.0 - depth);
}
