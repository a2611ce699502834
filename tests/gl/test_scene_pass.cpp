// The scene pass, read back from the window's back buffer after Draw: where
// the camera puts things, what it clips, the order and textures of the
// objects, and the state a frame leaves.
#include "PassTestSupport.h"

using namespace passtest;

namespace {

bool IsFlatColour(const unsigned char* p) { return p[0] > 128; }

struct SPlacementCase {
  const char* name;
  SVec cameraPos;
  float ax;
  float ay;
  SVec objectPos;
  SVec centre;  // of the quad, relative to the object
  double half;  // half-size of the quad, which faces the camera
  bool visible;
};

void PrintTo(const SPlacementCase& c, std::ostream* os) { *os << c.name; }

SEye CameraEye(const SPlacementCase& c) { return {c.cameraPos, c.ax, c.ay}; }

// A point 3 units ahead of a turned and moved camera, and a bit to its right.
SPlacementCase TurnedCase() {
  SPlacementCase c{"PitchYawAndPositionTogether", {1, 2, 3}, -20, 45, {0, 0, 0}, {0, 0, 0}, 0.2, true};
  SEye eye = CameraEye(c);
  c.centre = c.cameraPos + 3 * eye.FromEye({0, 0, -1}) + 0.5 * eye.Right();
  return c;
}

class ScenePassPlacementTest : public testing::TestWithParam<SPlacementCase> {
 protected:
  ScratchDir dir;
};

TEST_P(ScenePassPlacementTest, QuadLandsWhereTheCameraModelPutsIt) {
  const SPlacementCase& c = GetParam();
  SEye eye = CameraEye(c);
  std::vector<SVec> quad = Square(c.centre, eye.Right(), eye.Up(), c.half);
  SShaderFiles files;
  files.scene = kFlatShader;
  KeptPtr<TestGl> gl = MakeScene(dir, {quad}, files);
  ASSERT_TRUE(gl);
  gl->pGraphicObjectArray[0].x = (float)c.objectPos.x;
  gl->pGraphicObjectArray[0].y = (float)c.objectPos.y;
  gl->pGraphicObjectArray[0].z = (float)c.objectPos.z;
  gl->sPos = Vector3f((float)c.cameraPos.x, (float)c.cameraPos.y, (float)c.cameraPos.z);
  gl->ax = c.ax;
  gl->ay = c.ay;

  CaptureOutput([&] { gl->Draw(); });
  SBox lit = LitBox(ReadWindowPixels(), 640, 480, IsFlatColour);

  if (!c.visible) {
    EXPECT_TRUE(lit.Empty()) << "drawn from x " << lit.minX << " y " << lit.minY;
    return;
  }
  std::vector<SVec> world;
  for (SVec corner : quad) world.push_back(corner + c.objectPos);
  SBox expected = ExpectedBox(eye, CameraLens(), world);
  ASSERT_FALSE(expected.Empty()) << "the case puts the quad out of view";
  ExpectBoxNear(lit, expected, 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Camera, ScenePassPlacementTest,
    testing::Values(
        // (0, 0, -1) is the window's centre, (1, 0, -1) its right edge, (0, 1, -1) its top edge.
        SPlacementCase{"AheadIsCentre", {0, 0, 0}, 0, 0, {0, 0, 0}, {0, 0, -1}, 0.05, true},
        SPlacementCase{"UnitRightIsRightEdge", {0, 0, 0}, 0, 0, {0, 0, 0}, {1, 0, -1}, 0.05, true},
        SPlacementCase{"UnitUpIsTopEdge", {0, 0, 0}, 0, 0, {0, 0, 0}, {0, 1, -1}, 0.05, true},
        SPlacementCase{"YawNinetyLooksAlongPlusX", {0, 0, 0}, 0, 90, {0, 0, 0}, {1, 0, 0}, 0.05, true},
        SPlacementCase{"PitchDownRaisesPointAhead", {0, 0, 0}, 30, 0, {0, 0, 0}, {0, 0, -1}, 0.05, true},
        SPlacementCase{"ObjectMinusCameraPosition", {5, 0, 0}, 0, 0, {2, 1, 0}, {3.3, -1, -2}, 0.1, true},
        TurnedCase(),
        SPlacementCase{
            "NearerThanNearPlaneIsClipped", {0, 0, 0}, 0, 0, {0, 0, 0}, {0, 0, -0.09}, 0.005, false},
        SPlacementCase{"JustBeyondNearPlaneIsDrawn", {0, 0, 0}, 0, 0, {0, 0, 0}, {0, 0, -0.11}, 0.005, true},
        SPlacementCase{"BeyondFarPlaneIsClipped", {0, 0, 0}, 0, 0, {0, 0, 0}, {0, 0, -1010}, 100, false},
        SPlacementCase{"JustInsideFarPlaneIsDrawn", {0, 0, 0}, 0, 0, {0, 0, 0}, {0, 0, -990}, 100, true}),
    [](const testing::TestParamInfo<SPlacementCase>& info) { return std::string(info.param.name); });

class ScenePassTest : public testing::Test {
 protected:
  ScratchDir dir;
};

// Both objects lie in one plane, so where they overlap the later one fails
// the depth test: the overlap shows which was drawn first.
TEST_F(ScenePassTest, ObjectsAreDrawnInArrayOrderEachAtItsPlaceWithItsTexture) {
  KeptPtr<TestGl> gl = MakeScene(dir, {Square({0, 0, -1}, {1, 0, 0}, {0, 1, 0}, 0.1)});
  ASSERT_TRUE(gl);
  SetTextures(*gl, {SolidTexture(255, 0, 0), SolidTexture(0, 255, 0)});
  GLuint* indices = gl->pGraphicObjectArray[0].pIndexArray;
  KeepUntilExit(gl->pGraphicObjectArray);
  gl->pGraphicObjectArray = new SGraphicObject[2]{{indices, 1, 12, 0, 0, 0}, {indices, 2, 12, 0.1f, 0, 0}};
  gl->iGraphicObjectCount = 2;

  CaptureOutput([&] { gl->Draw(); });
  // The first object covers x 288 to 352, the second, 0.1 to the right, 320 to 384.
  Rgba onlyFirst = WindowPixel(300, 240), overlap = WindowPixel(340, 240), onlySecond = WindowPixel(370, 240);
  EXPECT_EQ((std::vector<int>{onlyFirst.r, onlyFirst.g}), (std::vector<int>{255, 0}));
  EXPECT_EQ((std::vector<int>{overlap.r, overlap.g}), (std::vector<int>{255, 0}));
  EXPECT_EQ((std::vector<int>{onlySecond.r, onlySecond.g}), (std::vector<int>{0, 255}));
  Rgba outside = WindowPixel(400, 240);
  EXPECT_EQ(outside.r + outside.g + outside.b, 0);
}

// Red and green from the object's texture on unit 0, blue from the middle of
// the light's image on unit 1 (the light pass writes green where it draws).
TEST_F(ScenePassTest, SamplesObjectTextureOnUnitZeroAndLightImageOnUnitOne) {
  SShaderFiles files;
  files.scene =
      "uniform sampler2D tex;\n"
      "uniform sampler2D sha;\n"
      "void main() {\n"
      "  vec4 t = texture2D(tex, gl_TexCoord[0].xy);\n"
      "  gl_FragColor = vec4(t.r, t.g, texture2D(sha, vec2(0.5)).g, 1.0);\n"
      "}\n";
  KeptPtr<TestGl> gl = MakeScene(dir, {Square({0, 0, -1}, {1, 0, 0}, {0, 1, 0}, 2.0)}, files);
  ASSERT_TRUE(gl);
  SetTextures(*gl, {SolidTexture(255, 128, 0)});
  SetLights(*gl, {MakeLight({0, 0, 0}, 0, 0)});
  glActiveTexture(GL_TEXTURE1);
  SolidTexture(0, 0, 0);  // the frame must bind the render target on unit 1 itself
  glActiveTexture(GL_TEXTURE0);

  CaptureOutput([&] { gl->Draw(); });
  Rgba seen = WindowPixel(320, 240);
  EXPECT_EQ((std::vector<int>{seen.r, seen.g, seen.b}), (std::vector<int>{255, 128, 255}));

  gl->pLightObjectArray[0].ay = 180;  // the light turns its back on the quad
  CaptureOutput([&] { gl->Draw(); });
  seen = WindowPixel(320, 240);
  EXPECT_EQ((std::vector<int>{seen.r, seen.g, seen.b}), (std::vector<int>{255, 128, 0}));
}

TEST_F(ScenePassTest, WithoutObjectsTheWindowIsOnlyCleared) {
  KeptPtr<TestGl> gl = MakeScene(dir, {Square({0, 0, -1}, {1, 0, 0}, {0, 1, 0}, 0.5)});
  ASSERT_TRUE(gl);
  gl->iGraphicObjectCount = 0;
  glClearColor(1, 0, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glClearColor(0, 0, 0, 0);

  CaptureOutput([&] { gl->Draw(); });
  GLint alphaBits = 0;
  glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
  std::vector<unsigned char> pixels = ReadWindowPixels();
  size_t notCleared = 0;
  for (size_t i = 0; i < pixels.size(); i += 4)
    if (pixels[i] || pixels[i + 1] || pixels[i + 2] || (alphaBits > 0 && pixels[i + 3])) ++notCleared;
  EXPECT_EQ(notCleared, 0u);
}

TEST_F(ScenePassTest, FrameLeavesWindowBoundMainProgramAndBothTextureUnitsSet) {
  KeptPtr<TestGl> gl = MakeScene(dir, {Square({0, 0, -1}, {1, 0, 0}, {0, 1, 0}, 0.5)});
  ASSERT_TRUE(gl);
  GLuint objectTexture = SolidTexture(10, 20, 30);
  SetTextures(*gl, {objectTexture});
  CaptureOutput([&] { gl->Draw(); });

  GLint framebuffer = -1, program = 0, active = 0, unitZero = 0, unitOne = 0, buffer = 0, viewport[4] = {0};
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &buffer);
  glGetIntegerv(GL_VIEWPORT, viewport);
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &unitZero);
  glActiveTexture(GL_TEXTURE1);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &unitOne);
  EXPECT_EQ(framebuffer, 0);
  EXPECT_EQ((GLhandleARB)program, gl->programObject);
  EXPECT_EQ((GLuint)buffer, gl->vbos[0]);
  EXPECT_EQ((std::vector<int>(viewport, viewport + 4)), (std::vector<int>{0, 0, 640, 480}));
  EXPECT_EQ(active, GL_TEXTURE0);
  EXPECT_EQ((GLuint)unitZero, objectTexture);
  EXPECT_EQ((GLuint)unitOne, gl->pTextureArray[0]);
}

}  // namespace
