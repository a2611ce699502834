// Shadows end to end: the shipped shader files on a small scene, drawn by the
// real renderer under llvmpipe and checked pixel by pixel against where the
// geometry says the shadows must fall.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "CpGl.h"
#include "GlWindow.h"
#include "KeepAlive.h"
#include "TestSupport.h"

namespace {

class ShadowGl : public CCpGl {
 public:
  using CCpGl::RenderLights;
};

struct Vec3 {
  double x, y, z;
};
Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(double s, Vec3 a) { return {s * a.x, s * a.y, s * a.z}; }

struct Box {
  Vec3 lo, hi;
};

// The scene: a ground square at y = 0 under the default light's beam and
// reaching beyond it, a box floating above it (its shadow lies apart from
// it) and a thin wall standing on it (its shadow must start at its foot).
const double kGroundLo[2] = {-1400, -300};  // x, z
const double kGroundHi[2] = {500, 1500};
const Box kFloatingBox = {{-350, 45, 400}, {-310, 65, 440}};
const Box kWall = {{-241, 0, 320}, {-240, 60, 360}};  // 1 unit thick, its broad side lit
const Box kBoxes[] = {kFloatingBox, kWall};

// The texture colour: tinted, so that the grey light map differs from the picture.
const unsigned char kTexRgb[3] = {225, 205, 175};

const double kDegrees = 3.14159265358979323846 / 180.0;

// The fixed-function view: rotation by ax about X after ay about Y, after
// the translation by minus the eye position.
struct Pose {
  Vec3 pos;
  double ax, ay;
};

Vec3 RotateY(Vec3 v, double degrees) {
  double c = std::cos(degrees * kDegrees), s = std::sin(degrees * kDegrees);
  return {c * v.x + s * v.z, v.y, -s * v.x + c * v.z};
}

Vec3 RotateX(Vec3 v, double degrees) {
  double c = std::cos(degrees * kDegrees), s = std::sin(degrees * kDegrees);
  return {v.x, c * v.y - s * v.z, s * v.y + c * v.z};
}

Vec3 ToEye(const Pose& pose, Vec3 world) { return RotateX(RotateY(world - pose.pos, pose.ay), pose.ax); }
Vec3 EyeDirToWorld(const Pose& pose, Vec3 dir) { return RotateY(RotateX(dir, -pose.ax), -pose.ay); }

// The window pixel (bottom row 0) where the camera's 90-degree frustum,
// stretched over 640 x 480, shows a world point; false when off screen.
bool ToPixel(const Pose& camera, Vec3 world, int* px, int* py) {
  Vec3 eye = ToEye(camera, world);
  if (-eye.z <= 0.1) return false;
  *px = (int)std::floor((eye.x / -eye.z + 1) * 320);
  *py = (int)std::floor((eye.y / -eye.z + 1) * 240);
  return *px >= 0 && *px < 640 && *py >= 0 && *py < 480;
}

// The light's map texel (column, row from the bottom) that shows a world point.
void MapTexel(const Pose& light, const SLightObject& l, Vec3 world, int* i, int* j) {
  Vec3 eye = ToEye(light, world);
  *i = (int)std::floor((eye.x / -eye.z * l.near / (l.width / 2) + 1) * 512);
  *j = (int)std::floor((eye.y / -eye.z * l.near / (l.height / 2) + 1) * 512);
}

// Does the segment from a to b (b itself excluded) pass through the box?
bool SegmentHitsBox(Vec3 a, Vec3 b, const Box& box, double* hitT = nullptr) {
  double t0 = 0, t1 = 1 - 1e-9;
  const double from[3] = {a.x, a.y, a.z}, to[3] = {b.x, b.y, b.z};
  const double lo[3] = {box.lo.x, box.lo.y, box.lo.z}, hi[3] = {box.hi.x, box.hi.y, box.hi.z};
  for (int k = 0; k < 3; ++k) {
    double d = to[k] - from[k];
    if (std::fabs(d) < 1e-12) {
      if (from[k] < lo[k] || from[k] > hi[k]) return false;
      continue;
    }
    double ta = (lo[k] - from[k]) / d, tb = (hi[k] - from[k]) / d;
    t0 = std::max(t0, std::min(ta, tb));
    t1 = std::min(t1, std::max(ta, tb));
  }
  if (t0 > t1) return false;
  if (hitT) *hitT = t0;
  return true;
}

bool HiddenFrom(Vec3 eye, Vec3 point) {
  for (const Box& box : kBoxes)
    if (SegmentHitsBox(eye, point, box)) return true;
  return false;
}

// A ground point and its neighbours `margin` away in x and z are all hidden
// from the light (want true) or all in its sight (want false): a point well
// away from the soft edge.
bool ClearlyIn(bool wantHidden, Vec3 light, Vec3 ground, double margin) {
  for (int i = -1; i <= 1; ++i)
    for (int k = -1; k <= 1; ++k)
      if (HiddenFrom(light, ground + Vec3{i * margin, 0, k * margin}) != wantHidden) return false;
  return true;
}

// Where the ray from the light through `point` meets the ground.
Vec3 GroundShadowOf(Vec3 light, Vec3 point) {
  return light + (light.y / (light.y - point.y)) * (point - light);
}

Vec3 Centre(const Box& box) { return 0.5 * (box.lo + box.hi); }

// The horizontal unit vector across the light's rays at a ground point: the
// way out of a shadow sideways.
Vec3 AcrossTheLight(Vec3 light, Vec3 ground) {
  Vec3 d = ground - light;
  double len = std::sqrt(d.x * d.x + d.z * d.z);
  return {-d.z / len, 0, d.x / len};
}

void AddQuad(std::vector<float>& v, std::vector<uint32_t>& idx, Vec3 a, Vec3 b, Vec3 c, Vec3 d) {
  uint32_t base = (uint32_t)(v.size() / 3);
  for (Vec3 p : {a, b, c, d}) v.insert(v.end(), {(float)p.x, (float)p.y, (float)p.z});
  idx.insert(idx.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
}

// Six faces, counter-clockwise seen from outside.
void AddBox(std::vector<float>& v, std::vector<uint32_t>& idx, const Box& b) {
  const Vec3 l = b.lo, h = b.hi;
  AddQuad(v, idx, {l.x, h.y, l.z}, {l.x, h.y, h.z}, {h.x, h.y, h.z}, {h.x, h.y, l.z});  // top
  AddQuad(v, idx, {l.x, l.y, l.z}, {h.x, l.y, l.z}, {h.x, l.y, h.z}, {l.x, l.y, h.z});  // bottom
  AddQuad(v, idx, {l.x, l.y, h.z}, {h.x, l.y, h.z}, {h.x, h.y, h.z}, {l.x, h.y, h.z});  // +z
  AddQuad(v, idx, {h.x, l.y, l.z}, {l.x, l.y, l.z}, {l.x, h.y, l.z}, {h.x, h.y, l.z});  // -z
  AddQuad(v, idx, {h.x, l.y, h.z}, {h.x, l.y, l.z}, {h.x, h.y, l.z}, {h.x, h.y, h.z});  // +x
  AddQuad(v, idx, {l.x, l.y, l.z}, {l.x, l.y, h.z}, {l.x, h.y, h.z}, {l.x, h.y, l.z});  // -x
}

std::vector<unsigned char> FixtureWorld(bool withBoxes = true) {
  std::vector<float> v;
  std::vector<uint32_t> idx;
  const double x0 = kGroundLo[0], z0 = kGroundLo[1], x1 = kGroundHi[0], z1 = kGroundHi[1];
  AddQuad(v, idx, {x0, 0, z0}, {x0, 0, z1}, {x1, 0, z1}, {x1, 0, z0});
  if (withBoxes)
    for (const Box& box : kBoxes) AddBox(v, idx, box);
  return MakeWorld(v, idx);
}

// A 24-bit BMP of one colour, rows bottom first, blue-green-red.
std::vector<unsigned char> UniformBmp(int size, const unsigned char rgb[3]) {
  std::vector<unsigned char> out = {'B', 'M'};
  const uint32_t pixelBytes = (uint32_t)(size * size * 3);
  AppendU32(out, 54 + pixelBytes);
  AppendU32(out, 0);
  AppendU32(out, 54);
  AppendU32(out, 40);
  AppendU32(out, (uint32_t)size);
  AppendU32(out, (uint32_t)size);
  out.insert(out.end(), {1, 0, 24, 0});
  AppendU32(out, 0);  // no compression
  AppendU32(out, pixelBytes);
  for (int i = 0; i < 4; ++i) AppendU32(out, 0);
  for (int i = 0; i < size * size; ++i) out.insert(out.end(), {rgb[2], rgb[1], rgb[0]});
  return out;
}

using Frame = std::vector<unsigned char>;

const unsigned char* PixelAt(const Frame& f, int x, int y) { return &f[((size_t)y * 640 + x) * 4]; }

// Mean and spread (max - min) of the green channel over a square of pixels.
struct PatchStats {
  double mean;
  int spread;
};

PatchStats Patch(const Frame& f, int cx, int cy, int radius) {
  int lo = 255, hi = 0, sum = 0, n = 0;
  for (int y = cy - radius; y <= cy + radius; ++y)
    for (int x = cx - radius; x <= cx + radius; ++x) {
      int g = PixelAt(f, x, y)[1];
      lo = std::min(lo, g);
      hi = std::max(hi, g);
      sum += g;
      ++n;
    }
  return {(double)sum / n, hi - lo};
}

// Frames can be kept for a look: VANTREL_SHADOW_DUMP names a folder for PPMs.
void DumpFrame(const Frame& f, const std::string& name) {
  const char* dir = std::getenv("VANTREL_SHADOW_DUMP");
  if (!dir) return;
  FILE* out = std::fopen((std::string(dir) + "/" + name + ".ppm").c_str(), "wb");
  if (!out) return;
  std::fprintf(out, "P6\n640 480\n255\n");
  for (int y = 479; y >= 0; --y)
    for (int x = 0; x < 640; ++x) std::fwrite(PixelAt(f, x, y), 1, 3, out);
  std::fclose(out);
}

class ShadowsEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    OpenGlWindow();
    if (HasFatalFailure()) return;
    startup = Load(dir, FixtureWorld());
    // Seen from the side of the light's beam, above and beside the floating
    // box's shadow, so that neither box hides it.
    Vec3 shadow = GroundShadowOf(Light(), Centre(kFloatingBox));
    LookAt(shadow + Vec3{130, 150, 160}, shadow + Vec3{40, 0, -20});
  }

  // Builds the renderer on a scene in a folder that holds the shipped shaders.
  std::string Load(const ScratchDir& folder, const std::vector<unsigned char>& world) {
    for (const char* name : {"vshader.sh", "emptyshader.sh", "shader.sh"}) folder.CopyData(name);
    folder.Write("World.obj", world);
    folder.Write("tex2.bmp", UniformBmp(1024, kTexRgb));
    return CaptureOutput([&] { gl.reset(new ShadowGl()); });
  }

  Vec3 Light() const {
    const SLightObject& l = gl->pLightObjectArray[0];
    return {l.x, l.y, l.z};
  }

  Pose Camera() const { return {{gl->sPos.x, gl->sPos.y, gl->sPos.z}, gl->ax, gl->ay}; }

  void LookAt(Vec3 eye, Vec3 target) {
    Vec3 d = target - eye;
    double len = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    gl->sPos = Vector3f((float)eye.x, (float)eye.y, (float)eye.z);
    gl->ax = (float)(-std::asin(d.y / len) / kDegrees);
    gl->ay = (float)(std::atan2(d.x, -d.z) / kDegrees);
  }

  Frame Draw(std::string* output = nullptr) {
    std::string out = CaptureOutput([&] { gl->Draw(); });
    if (output) *output = out;
    return ReadWindowPixels();
  }

  // The pixel showing a ground point, which must be on screen and not hidden
  // from the camera by a box.
  void GroundPixel(Vec3 ground, int* px, int* py) {
    ASSERT_TRUE(ToPixel(Camera(), ground, px, py)) << "off screen: " << ground.x << ", " << ground.z;
    ASSERT_TRUE(*px >= 8 && *px < 632 && *py >= 8 && *py < 472);
    ASSERT_FALSE(HiddenFrom(Camera().pos, ground)) << "a box hides the ground point from the camera";
  }

  // Steps from `start` along `dir` until a ground point is clearly lit
  // (or clearly shadowed) for `light`, and also satisfies `also`.
  template <typename Extra>
  Vec3 FindGround(Vec3 start, Vec3 dir, bool wantHidden, Vec3 light, Extra also) {
    for (double t = 0; t < 200; t += 1) {
      Vec3 p = start + t * dir;
      if (ClearlyIn(wantHidden, light, p, kMargin) && also(p)) return p;
    }
    ADD_FAILURE() << "no such ground point";
    return start;
  }

  static constexpr double kMargin = 4;  // world units, a few map texels
  ScratchDir dir;
  KeptPtr<ShadowGl> gl;
  std::string startup;
};

TEST_F(ShadowsEndToEnd, ShippedShadersLoadAndFindEveryUniform) {
  EXPECT_NE(startup.find("Shaders loaded\n"), std::string::npos) << startup;
  EXPECT_EQ(startup.find("aaa ERROR!!!!!!!"), std::string::npos) << startup;
  std::string frameOutput;
  Draw(&frameOutput);
  EXPECT_EQ(frameOutput.find("aaa ERROR!!!!!!!"), std::string::npos) << frameOutput;
  for (const char* label : {"ModelView: ", "Projection: ", "lpos: ", "cpos: ", "lmap: "})
    EXPECT_EQ(frameOutput.find(label), std::string::npos) << frameOutput;
}

// The light pass stores the distance along the light's axis to the nearest
// surface with far more than 8 bits of precision, and leaves texels that see
// nothing cleared.
TEST_F(ShadowsEndToEnd, LightPassStoresPreciseDepthOfNearestSurface) {
  gl->RenderLights();
  int w = 0, h = 0;
  std::vector<unsigned char> map = ReadTexture(gl->pTextureArray[0], &w, &h);
  ASSERT_EQ(w, 1024);
  ASSERT_EQ(h, 1024);

  // The planes as the light's projection matrix holds them, in single
  // precision: -(f + n) / (f - n) and -2fn / (f - n).
  GLfloat m[16];
  glGetFloatv(GL_PROJECTION_MATRIX, m);
  const double near = m[14] / (m[10] - 1.0), far = m[14] / (m[10] + 1.0);
  const SLightObject& l = gl->pLightObjectArray[0];
  const Pose light = {Light(), l.ax, l.ay};
  ASSERT_NEAR(near, l.near, 1e-4);
  ASSERT_NEAR(far, l.far, 1.0);

  struct Probe {
    int i, j;
    const char* what;
  };
  int bi, bj, wi, wj;
  MapTexel(light, l, Centre(kFloatingBox), &bi, &bj);
  MapTexel(light, l, Vec3{kWall.hi.x, kWall.hi.y - 5, kWall.lo.z + 5}, &wi, &wj);
  // Ground, both boxes, and a texel of the top row, which looks above the horizon.
  const Probe probes[] = {{512, 512, "centre"},     {300, 700, "upper left"}, {800, 250, "lower right"},
                          {bi, bj, "floating box"}, {wi, wj, "wall"},         {512, 1020, "sky"}};
  int boxTexels = 0;
  for (const Probe& p : probes) {
    SCOPED_TRACE(p.what);
    Vec3 dirEye = {((p.i + 0.5) / 1024 * 2 - 1) * l.width / 2 / l.near,
                   ((p.j + 0.5) / 1024 * 2 - 1) * l.height / 2 / l.near, -1};
    Vec3 dir = EyeDirToWorld(light, dirEye);  // one unit along the light's axis per step
    // The nearest hit along the ray: a box face, else the ground square.
    double best = 1e30;
    for (const Box& box : kBoxes) {
      double t = 0;
      if (SegmentHitsBox(light.pos, light.pos + 2000 * dir, box, &t)) best = std::min(best, 2000 * t);
    }
    bool onBox = best < 1e30;
    if (!onBox && dir.y < 0) {
      Vec3 g = light.pos + (-light.pos.y / dir.y) * dir;
      if (g.x > kGroundLo[0] && g.x < kGroundHi[0] && g.z > kGroundLo[1] && g.z < kGroundHi[1])
        best = -light.pos.y / dir.y;
    }
    boxTexels += onBox;

    const unsigned char* t = &map[((size_t)p.j * 1024 + p.i) * 4];
    if (best >= 1e30) {
      EXPECT_EQ(t[0] + t[1] + t[2] + t[3], 0) << "a texel that sees nothing must stay cleared";
      continue;
    }
    // Each byte is one base-256 digit of 1 - depth.
    double depth = 1 - (t[0] / 256.0 + t[1] / 65536.0 + t[2] / 16777216.0 + t[3] / 4294967296.0);
    double distance = near + depth * (far - near);
    // 8 bits alone would give steps of 4 units.
    EXPECT_NEAR(distance, best, 0.02) << "stored bytes " << (int)t[0] << " " << (int)t[1] << " " << (int)t[2];
  }
  EXPECT_EQ(boxTexels, 2) << "the probes should include both boxes seen from the light";
}

TEST_F(ShadowsEndToEnd, BoxCastsShadowWithoutAcneOnLitGround) {
  Frame f = Draw();
  DumpFrame(f, "shadow");
  const Vec3 light = Light();
  const Vec3 inShadow = GroundShadowOf(light, Centre(kFloatingBox));
  ASSERT_TRUE(ClearlyIn(true, light, inShadow, 8));
  // Lit ground on either side of the shadow, across the light's direction.
  auto any = [](Vec3) { return true; };
  const Vec3 across = AcrossTheLight(light, inShadow);
  const Vec3 litNear = FindGround(inShadow, across, false, light, any);
  const Vec3 litFar = FindGround(inShadow, -1.0 * across, false, light, any);

  int sx, sy, ax, ay, bx, by;
  GroundPixel(inShadow, &sx, &sy);
  GroundPixel(litNear + 10.0 * across, &ax, &ay);
  GroundPixel(litFar - 10.0 * across, &bx, &by);
  if (HasFatalFailure()) return;

  PatchStats shadow = Patch(f, sx, sy, 2);
  PatchStats lit1 = Patch(f, ax, ay, 6);
  PatchStats lit2 = Patch(f, bx, by, 6);
  std::printf("shadow %.1f, lit %.1f and %.1f, lit spreads %d and %d\n", shadow.mean, lit1.mean, lit2.mean,
              lit1.spread, lit2.spread);
  EXPECT_LT(shadow.mean, 0.6 * lit1.mean);
  EXPECT_LT(shadow.mean, 0.6 * lit2.mean);
  EXPECT_GT(shadow.mean, 0.15 * lit1.mean) << "shadows keep some ambient light";
  // No acne: lit ground is smooth, a few grey levels at most.
  EXPECT_LE(lit1.spread, 3);
  EXPECT_LE(lit2.spread, 3);
}

// Seen from close by, the light fades in steadily over a few units across the
// shadow's edge: soft, without steps back or a hard jump.
TEST_F(ShadowsEndToEnd, ShadowEdgeIsSoft) {
  const Vec3 light = Light();
  const Vec3 inShadow = GroundShadowOf(light, Centre(kFloatingBox));
  const Vec3 across = AcrossTheLight(light, inShadow);
  // The geometric edge: the first ground point in the light's sight.
  Vec3 edge = inShadow;
  while (HiddenFrom(light, edge)) edge = edge + 0.05 * across;
  LookAt(edge + Vec3{0, 40, 25}, edge);
  Frame f = Draw();
  DumpFrame(f, "edge");

  int sx, sy, ex, ey;
  GroundPixel(edge - 8.0 * across, &sx, &sy);
  GroundPixel(edge + 8.0 * across, &ex, &ey);
  if (HasFatalFailure()) return;
  const int steps = std::max(std::abs(ex - sx), std::abs(ey - sy));
  std::vector<int> greens;
  for (int k = 0; k <= steps; ++k)
    greens.push_back(PixelAt(f, sx + (int)std::lround((double)k * (ex - sx) / steps),
                             sy + (int)std::lround((double)k * (ey - sy) / steps))[1]);
  const double dark = greens.front(), bright = greens.back();
  ASSERT_LT(dark, 0.6 * bright);
  int between = 0, stepsBack = 0;
  for (size_t k = 0; k < greens.size(); ++k) {
    between += greens[k] > dark + 0.1 * (bright - dark) && greens[k] < dark + 0.9 * (bright - dark);
    if (k > 0 && greens[k] < greens[k - 1] - 2) ++stepsBack;
  }
  std::printf("%d of %d pixels across 16 units of ground lie in the soft edge\n", between, steps + 1);
  EXPECT_GE(between, 0.1 * (steps + 1)) << "the shadow's edge is a hard step";
  EXPECT_LE(between, 0.6 * (steps + 1)) << "the shadow's edge is smeared";
  EXPECT_EQ(stepsBack, 0) << "the light does not grow steadily across the edge";
}

// The box's own lit top is not shadowed by itself, and faces turned away from
// the light get ambient light only, like ground in shadow.
TEST_F(ShadowsEndToEnd, OccluderFacesLitOrAmbientByFacing) {
  Frame f = Draw();
  const Vec3 light = Light();
  const Box& b = kFloatingBox;
  const Vec3 top = {(b.lo.x + b.hi.x) / 2, b.hi.y, (b.lo.z + b.hi.z) / 2};
  const Vec3 awayFace = {(b.lo.x + b.hi.x) / 2, (b.lo.y + b.hi.y) / 2, b.hi.z};  // +z: light is at -z
  ASSERT_LT(light.z, b.hi.z);
  const Vec3 inShadow = GroundShadowOf(light, Centre(b));
  const Vec3 across = AcrossTheLight(light, inShadow);
  const Vec3 litGround =
      FindGround(inShadow, across, false, light, [](Vec3) { return true; }) + 10.0 * across;

  int tx, ty, fx, fy, gx, gy;
  ASSERT_TRUE(ToPixel(Camera(), top, &tx, &ty));
  ASSERT_TRUE(ToPixel(Camera(), awayFace, &fx, &fy));
  GroundPixel(litGround, &gx, &gy);
  if (HasFatalFailure()) return;
  PatchStats topPatch = Patch(f, tx, ty, 2), facePatch = Patch(f, fx, fy, 2), ground = Patch(f, gx, gy, 2);
  std::printf("box top %.1f (spread %d), turned-away face %.1f, lit ground %.1f\n", topPatch.mean,
              topPatch.spread, facePatch.mean, ground.mean);
  // The top faces up like the ground: lit like it, within a few percent.
  EXPECT_NEAR(topPatch.mean, ground.mean, 0.06 * ground.mean);
  EXPECT_LE(topPatch.spread, 3);
  EXPECT_LT(facePatch.mean, 0.6 * ground.mean);
  EXPECT_GT(facePatch.mean, 0);
}

// A thin wall standing on the ground: its shadow starts right at its foot.
// Through 1 unit of wall, a bias of a few map texels would let light leak
// under it and leave the shadow floating.
TEST_F(ShadowsEndToEnd, ShadowTouchesFootOfThinWall) {
  const Vec3 light = Light();
  const Box& w = kWall;
  ASSERT_GT(light.x, w.hi.x) << "the wall's +x side faces the light";
  // Ground 0.75 units beyond the foot of the wall's shaded side.
  Vec3 foot = {w.lo.x, 0, (w.lo.z + w.hi.z) / 2};
  Vec3 away = foot - Vec3{light.x, 0, light.z};
  away = (1 / std::sqrt(away.x * away.x + away.z * away.z)) * away;
  Vec3 beyondFoot = foot + 0.75 * away;
  ASSERT_TRUE(ClearlyIn(true, light, beyondFoot, 0.25));
  LookAt(foot + Vec3{-60, 70, 100}, foot);
  Frame f = Draw();
  DumpFrame(f, "wall");
  const Vec3 across = AcrossTheLight(light, beyondFoot);
  Vec3 lit = FindGround(beyondFoot, across, false, light, [](Vec3) { return true; }) + 6.0 * across;
  int bx, by, lx, ly;
  GroundPixel(beyondFoot, &bx, &by);
  GroundPixel(lit, &lx, &ly);
  if (HasFatalFailure()) return;
  double nearFoot = PixelAt(f, bx, by)[1], litGround = Patch(f, lx, ly, 2).mean;
  std::printf("ground 0.75 units beyond the wall's foot %.0f, lit ground %.1f\n", nearFoot, litGround);
  EXPECT_LT(nearFoot, 0.6 * litGround) << "light leaks under the wall (the shadow floats)";
}

// Moving the light along +x moves the shadow towards -x: ground at the
// shadow's -x edge darkens and ground at its +x edge brightens.
TEST_F(ShadowsEndToEnd, ShadowMovesOppositeToTheLight) {
  const Vec3 before = Light();
  const Vec3 after = before + Vec3{150, 0, 0};  // W held for 30 frames
  const Vec3 centre = GroundShadowOf(before, Centre(kFloatingBox));
  const Vec3 newCentre = GroundShadowOf(after, Centre(kFloatingBox));
  ASSERT_LT(newCentre.x, centre.x - 20);

  Vec3 covered = FindGround(centre, {-1, 0, 0}, false, before,
                            [&](Vec3 q) { return ClearlyIn(true, after, q, kMargin); });
  Vec3 uncovered = FindGround(centre, {1, 0, 0}, false, after,
                              [&](Vec3 q) { return ClearlyIn(true, before, q, kMargin); });
  Frame f0 = Draw();
  gl->AddToLightPos(150, 0, 0);
  Frame f1 = Draw();
  DumpFrame(f1, "moved");

  int cx, cy, ux, uy;
  GroundPixel(covered, &cx, &cy);
  GroundPixel(uncovered, &ux, &uy);
  if (HasFatalFailure()) return;
  double coveredBefore = Patch(f0, cx, cy, 1).mean, coveredAfter = Patch(f1, cx, cy, 1).mean;
  double uncoveredBefore = Patch(f0, ux, uy, 1).mean, uncoveredAfter = Patch(f1, ux, uy, 1).mean;
  std::printf("-x edge %.1f -> %.1f, +x edge %.1f -> %.1f\n", coveredBefore, coveredAfter, uncoveredBefore,
              uncoveredAfter);
  EXPECT_LT(coveredAfter, 0.6 * coveredBefore);
  EXPECT_LT(uncoveredBefore, 0.6 * uncoveredAfter);
}

TEST_F(ShadowsEndToEnd, LightMapIsGreyAndDiffersFromPicture) {
  Frame picture = Draw();
  gl->lmap = 1;
  Frame lightMap = Draw();
  DumpFrame(lightMap, "lightmap");

  int changed = 0, coloured = 0, drawn = 0;
  for (size_t i = 0; i < picture.size(); i += 4) {
    const unsigned char* a = &picture[i];
    const unsigned char* b = &lightMap[i];
    if (a[0] != b[0] || a[1] != b[1] || a[2] != b[2]) ++changed;
    if (a[0] + a[1] + a[2] > 0) ++drawn;
    if (b[0] != b[1] || b[1] != b[2]) ++coloured;
  }
  std::printf("%d of %d drawn pixels change with the light map\n", changed, drawn);
  EXPECT_GT(drawn, 640 * 480 / 2);
  EXPECT_GT(changed, drawn * 9 / 10);
  EXPECT_EQ(coloured, 0) << "the light map is grey";

  // Light and shadow show in it as in the picture.
  const Vec3 inShadow = GroundShadowOf(Light(), Centre(kFloatingBox));
  const Vec3 across = AcrossTheLight(Light(), inShadow);
  int sx, sy, lx, ly;
  GroundPixel(inShadow, &sx, &sy);
  GroundPixel(FindGround(inShadow, across, false, Light(), [](Vec3) { return true; }) + 10.0 * across, &lx,
              &ly);
  if (HasFatalFailure()) return;
  EXPECT_LT(Patch(lightMap, sx, sy, 2).mean, 0.6 * Patch(lightMap, lx, ly, 2).mean);

  gl->lmap = 0;
  EXPECT_EQ(Draw(), picture) << "switching back restores the picture";
}

// Ground the light's frustum does not cover is lit: no copies of the box's
// shadow where the map's coordinates wrap round, and no shadow beyond the
// far plane, where the cleared map says nothing is there.
TEST_F(ShadowsEndToEnd, GroundOutsideTheLightsFrustumIsLit) {
  const SLightObject& l = gl->pLightObjectArray[0];
  const Pose light = {Light(), l.ax, l.ay};
  auto groundAlong = [&](Vec3 eyeDir) {
    Vec3 d = EyeDirToWorld(light, eyeDir);
    return light.pos + (-light.pos.y / d.y) * d;
  };
  // Beside the frustum, where the map coordinates wrap onto the box's own.
  Vec3 boxEye = ToEye(light, Centre(kFloatingBox));
  double bx = boxEye.x / -boxEye.z, by = boxEye.y / -boxEye.z;
  Vec3 wrapped = groundAlong({bx - l.width / l.near, by, -1});
  Vec3 wrappedEye = ToEye(light, wrapped);
  ASSERT_LT(wrappedEye.x / -wrappedEye.z, -1.5) << "the wrapped point lies outside the frustum";
  ASSERT_GT(-wrappedEye.z, -boxEye.z) << "the wrapped point lies farther from the light than the box";
  // Past the far plane, and a control short of it, ahead along the light's axis.
  Vec3 axis = EyeDirToWorld(light, {0, 0, -1});
  Vec3 ahead = {axis.x, 0, axis.z};
  ahead = (1 / std::sqrt(ahead.x * ahead.x + ahead.z * ahead.z)) * ahead;
  auto aheadAtDistance = [&](double distance) {
    double h = (distance + light.pos.y * axis.y) / (ahead.x * axis.x + ahead.z * axis.z);
    return Vec3{light.pos.x, 0, light.pos.z} + h * ahead;
  };
  Vec3 pastFar = aheadAtDistance(l.far + 40), shortOfFar = aheadAtDistance(l.far - 40);
  ASSERT_NEAR(-ToEye(light, pastFar).z, l.far + 40, 0.01);

  // Each place seen close by from above; the box's shadow as a control.
  struct View {
    const char* what;
    Vec3 ground;
    bool shadowed;
  };
  const View views[] = {{"where the map wraps onto the box", wrapped, false},
                        {"past the far plane", pastFar, false},
                        {"short of the far plane", shortOfFar, false},
                        {"in the box's shadow", GroundShadowOf(light.pos, Centre(kFloatingBox)), true}};
  auto viewGround = [&](Vec3 ground, double* mean) {
    LookAt(ground + Vec3{0, 60, 60}, ground);
    Frame f = Draw();
    int px, py;
    GroundPixel(ground, &px, &py);
    if (!HasFatalFailure()) *mean = Patch(f, px, py, 2).mean;
  };
  std::vector<double> withBoxes;
  for (const View& v : views) {
    double mean = 0;
    viewGround(v.ground, &mean);
    if (HasFatalFailure()) return;
    withBoxes.push_back(mean);
  }

  // The same views of the ground alone, which nothing shadows.
  ScratchDir bare;
  Load(bare, FixtureWorld(false));
  for (size_t k = 0; k < withBoxes.size(); ++k) {
    const View& v = views[k];
    SCOPED_TRACE(v.what);
    double alone = 0;
    viewGround(v.ground, &alone);
    if (HasFatalFailure()) return;
    std::printf("%s: %.1f with the boxes, %.1f without\n", v.what, withBoxes[k], alone);
    if (v.shadowed)
      EXPECT_LT(withBoxes[k], 0.6 * alone);
    else
      EXPECT_NEAR(withBoxes[k], alone, 1.0);
  }
  // Light fades smoothly with distance, not in a step at the far plane.
  EXPECT_GT(withBoxes[1], 0.9 * withBoxes[2]) << "ground past the far plane is shadowed";
}

TEST_F(ShadowsEndToEnd, SameInputGivesSameFrame) {
  Frame first = Draw();
  gl->AddToLightPos(-25, 10, 5);
  Frame moved = Draw();
  EXPECT_NE(moved, first);
  gl->AddToLightPos(25, -10, -5);
  EXPECT_EQ(Draw(), first);
  EXPECT_EQ(Draw(), first);
}

}  // namespace
