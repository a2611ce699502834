#version 120
// Scene pass: the object's texture lit by the one light, with shadows looked
// up in the depth map that the light pass left in the render target.

uniform sampler2D tex;  // unit 0: the object's texture
uniform sampler2D sha;  // unit 1: the light's packed depth map, nearest filtering
uniform mat4 view;      // the light's view: world to light eye space
uniform mat4 proj;      // the light's frustum
uniform vec3 lpos;      // the light's position
uniform vec3 cpos;      // the camera's position
uniform int lmap;       // 1: show the light and shadow term alone, in grey

varying vec3 vWorld;
varying vec3 vNormal;
varying vec2 vTexCoord;

const float kMapSize = 1024.0;
// Ambient and diffuse add up to 1 on a face turned up towards the light, so
// the light map only saturates in the specular highlight.
const float kAmbient = 0.24;
const float kSky = 0.06;  // faces turned up get a little more ambient light
const float kDiffuse = 0.70;
const float kSpecular = 0.16;
const float kShininess = 40.0;
const float kMaxTan = 8.0;    // caps the slope-scaled bias on grazing surfaces
const float kMaxSlope = 8.0;  // caps the receiver's plane where the camera sees it edge-on

float UnpackUnit(vec4 texel) {
  vec4 digits = floor(texel * 255.0 + 0.5);
  return dot(digits, vec4(1.0 / 256.0, 1.0 / 65536.0, 1.0 / 16777216.0, 1.0 / 4294967296.0));
}

float StoredDepth(vec2 uv) { return 1.0 - UnpackUnit(texture2D(sha, uv)); }

// How the fragment's map depth changes per unit of map coordinate, from the
// screen-space derivatives of (u, v, depth): each PCF tap is compared with
// the receiver's own plane at that tap, not with the fragment's depth, so a
// lit plane never shadows itself whatever the filter's width.
vec2 DepthSlope(vec3 ds_dx, vec3 ds_dy) {
  float det = ds_dx.x * ds_dy.y - ds_dx.y * ds_dy.x;
  if (abs(det) < 1e-20) return vec2(0.0);
  vec2 slope = vec2(ds_dy.y * ds_dx.z - ds_dx.y * ds_dy.z, ds_dx.x * ds_dy.z - ds_dy.x * ds_dx.z) / det;
  return clamp(slope, vec2(-kMaxSlope), vec2(kMaxSlope));
}

// Whether the receiver is in the light at one map texel, counting texels
// outside the map as lit.
float LitAt(vec2 texel, vec2 uv, float depth, vec2 slope, float bias) {
  vec2 centre = (texel + 0.5) / kMapSize;
  if (centre.x < 0.0 || centre.x > 1.0 || centre.y < 0.0 || centre.y > 1.0) return 1.0;
  float receiver = depth + dot(centre - uv, slope);
  return step(receiver - bias, StoredDepth(centre));
}

// The fraction of the light that reaches the fragment: percentage-closer
// filtering over a 4 x 4 texel square centred on uv. The square's edges cut
// through the outer ring of a 5 x 5 block of texels, whose comparisons are
// weighted by how much of each the square covers, so the light fades
// smoothly across a shadow's edge instead of in steps.
float FilteredVisibility(vec2 uv, float depth, vec2 slope, float bias) {
  vec2 corner = uv * kMapSize - 2.0;  // the square's lower left, in texels
  vec2 first = floor(corner);
  vec2 cut = corner - first;  // how far the square starts into its first texels
  float lit = 0.0;
  for (int i = 0; i < 5; ++i) {
    for (int j = 0; j < 5; ++j) {
      vec2 weight = vec2(i == 0 ? 1.0 - cut.x : (i == 4 ? cut.x : 1.0),
                         j == 0 ? 1.0 - cut.y : (j == 4 ? cut.y : 1.0));
      lit += weight.x * weight.y * LitAt(first + vec2(float(i), float(j)), uv, depth, slope, bias);
    }
  }
  return lit / 16.0;
}

void main() {
  vec3 n = normalize(vNormal);
  vec3 toLight = normalize(lpos - vWorld);
  vec3 toCamera = normalize(cpos - vWorld);
  float cosLight = dot(n, toLight);

  // The fragment in the light's map: coordinates in [0, 1] and the depth
  // along the light's axis, mapped like the light pass maps it.
  vec4 lightEye = view * vec4(vWorld, 1.0);
  vec4 lightClip = proj * lightEye;
  float a = proj[2][2];
  float b = proj[3][2];
  float nearPlane = b / (a - 1.0);
  float farPlane = b / (a + 1.0);
  float lightDistance = -lightEye.z;
  vec2 uv = lightClip.xy / lightClip.w * 0.5 + 0.5;
  float depth = (lightDistance - nearPlane) / (farPlane - nearPlane);
  // Derivatives are taken before any branch, where they are defined.
  vec2 slope = DepthSlope(dFdx(vec3(uv, depth)), dFdy(vec3(uv, depth)));

  float visibility = 0.0;  // surfaces turned away from the light get ambient only
  if (cosLight > 0.0) {
    bool outside = lightClip.w <= 0.0 || lightDistance > farPlane || uv.x < 0.0 || uv.x > 1.0 || uv.y < 0.0 ||
                   uv.y > 1.0;
    if (outside) {
      visibility = 1.0;
    } else {
      // One map texel's width in world units at this distance.
      float texelWorld = 2.0 * lightDistance / (proj[0][0] * kMapSize);
      float tanLight = min(sqrt(max(1.0 - cosLight * cosLight, 0.0)) / cosLight, kMaxTan);
      float bias = texelWorld * (0.15 + 0.35 * tanLight) / (farPlane - nearPlane);
      visibility = FilteredVisibility(uv, depth, slope, bias);
    }
  }

  vec3 halfway = normalize(toLight + toCamera);
  float specular = cosLight > 0.0 ? kSpecular * pow(max(dot(n, halfway), 0.0), kShininess) : 0.0;
  float ambient = kAmbient + kSky * n.y;
  float diffuse = kDiffuse * max(cosLight, 0.0);

  float light = ambient + diffuse * visibility;
  if (lmap == 1) {
    gl_FragColor = vec4(vec3(min(light + specular * visibility, 1.0)), 1.0);
  } else {
    vec3 base = texture2D(tex, vTexCoord).rgb;
    gl_FragColor = vec4(base * light + vec3(specular * visibility), 1.0);
  }
}
