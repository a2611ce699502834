// Camera and light controls of the renderer: the pitch limit, the view
// direction (with 3.14 standing in for pi), the unwrapped yaw, and the
// light moves that reach the first light only, or nothing without a scene.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "CpGl.h"
#include "GlWindow.h"
#include "KeepAlive.h"
#include "TestSupport.h"

namespace {

class ControlsTest : public testing::Test {
 protected:
  // Builds the renderer in the scratch folder; with a scene, a light exists.
  void Build(bool withScene) {
    OpenGlWindow();
    if (withScene)
      dir.Write("World.obj", MakeWorld({0, 0, -10, 1, 0, -10, 0, 1, -10}, {0, 1, 2}, {0, 0, 1, 0, 0, 1}));
    CaptureOutput([&] { gl.reset(new CCpGl()); });
  }

  ScratchDir dir;
  KeptPtr<CCpGl> gl;
};

struct AngleCase {
  const char* name;
  std::vector<std::pair<float, float>> calls;  // AddToAngles(a, b), from ax = ay = 0
  float ax, ay;
  float dx, dy, dz;
};

class ControlsAngleTest : public ControlsTest, public testing::WithParamInterface<AngleCase> {};

TEST_P(ControlsAngleTest, LimitsThePitchAndRecomputesTheDirection) {
  const AngleCase& c = GetParam();
  Build(false);
  // Stale values, so a call that skips the recomputation shows.
  gl->dx = gl->dy = gl->dz = 9;
  for (const auto& call : c.calls) gl->AddToAngles(call.first, call.second);
  EXPECT_EQ(gl->ax, c.ax);
  EXPECT_EQ(gl->ay, c.ay);
  EXPECT_NEAR(gl->dx, c.dx, 1e-5);
  EXPECT_NEAR(gl->dy, c.dy, 1e-5);
  EXPECT_NEAR(gl->dz, c.dz, 1e-5);
}

// Directions from (cos p sin q, -sin p, -cos p cos q) with radians taken as
// degrees / 180 * 3.14; they differ from the exact-pi values by more than 1e-5.
INSTANTIATE_TEST_SUITE_P(
    Cases, ControlsAngleTest,
    testing::Values(
        AngleCase{"no_change", {{0, 0}}, 0, 0, 0, 0, -1},
        AngleCase{"pitch_95_held_at_89", {{95, 0}}, 89, 0, 0, -0.9998336f, -0.0182398f},
        AngleCase{"pitch_90_held_at_89", {{90, 0}}, 89, 0, 0, -0.9998336f, -0.0182398f},
        AngleCase{"pitch_minus_100_held_at_minus_89", {{-100, 0}}, -89, 0, 0, 0.9998336f, -0.0182398f},
        AngleCase{"pitch_minus_90_held_at_minus_89", {{-90, 0}}, -89, 0, 0, 0.9998336f, -0.0182398f},
        AngleCase{"pitch_89_5_is_inside", {{88, 0}, {1.5f, 0}}, 89.5f, 0, 0, -0.9999547f, -0.0095183f},
        AngleCase{"pitch_45", {{45, 0}}, 45, 0, 0, -0.7068252f, -0.7073882f},
        AngleCase{"yaw_90", {{0, 90}}, 0, 90, 0.9999997f, 0, -0.0007963f},
        AngleCase{"yaw_360", {{0, 360}}, 0, 360, -0.0031851f, 0, -0.9999949f},
        AngleCase{"yaw_400_not_wrapped", {{0, 300}, {0, 100}}, 0, 400, 0.6400729f, 0, -0.7683142f},
        AngleCase{"yaw_minus_600_not_wrapped", {{0, -300}, {0, -300}}, 0, -600, 0.8633590f, 0, 0.5045901f}),
    [](const testing::TestParamInfo<AngleCase>& info) { return std::string(info.param.name); });

TEST_F(ControlsTest, LightControlsMoveAndTurnOnlyTheFirstLight) {
  Build(true);
  ASSERT_EQ(gl->iLightCount, 1);
  SLightObject lights[2];
  lights[0] = gl->pLightObjectArray[0];
  std::memset(&lights[1], 0, sizeof lights[1]);
  lights[1].x = 1;
  lights[1].y = 2;
  lights[1].z = 3;
  lights[1].ax = 4;
  lights[1].ay = 5;
  SLightObject first = lights[0], second = lights[1];
  SLightObject* loaded = gl->pLightObjectArray;
  gl->pLightObjectArray = lights;
  gl->iLightCount = 2;

  gl->AddToLightPos(5, -3, 2);
  gl->AddToLightAngle(0.3f, -0.3f);

  gl->pLightObjectArray = loaded;
  gl->iLightCount = 1;
  EXPECT_FLOAT_EQ(lights[0].x, first.x + 5);
  EXPECT_FLOAT_EQ(lights[0].y, first.y - 3);
  EXPECT_FLOAT_EQ(lights[0].z, first.z + 2);
  EXPECT_FLOAT_EQ(lights[0].ax, first.ax + 0.3f);
  EXPECT_FLOAT_EQ(lights[0].ay, first.ay - 0.3f);
  // The frustum and viewport of the first light stay.
  EXPECT_EQ(lights[0].near, first.near);
  EXPECT_EQ(lights[0].far, first.far);
  EXPECT_EQ(lights[0].width, first.width);
  EXPECT_EQ(lights[0].height, first.height);
  EXPECT_EQ(lights[0].resWidth, first.resWidth);
  EXPECT_EQ(lights[0].resHeight, first.resHeight);
  EXPECT_EQ(std::memcmp(&lights[1], &second, sizeof second), 0) << "the second light moved";
  // The camera is not the light's.
  EXPECT_EQ(gl->ax, 0.0f);
  EXPECT_EQ(gl->sPos.x, 0.0f);
}

TEST_F(ControlsTest, WithoutASceneTheLightControlsDoNothingAndDrawingDrawsNothing) {
  Build(false);
  EXPECT_EQ(gl->iLightCount, 0);
  EXPECT_EQ(gl->iGraphicObjectCount, 0);

  gl->AddToLightPos(5, 5, 5);
  gl->AddToLightAngle(0.3f, 0.3f);
  gl->AddToAngles(10, 20);
  EXPECT_EQ(gl->ax, 10.0f);
  EXPECT_EQ(gl->ay, 20.0f);

  // Paint the window, then draw a frame: only the scene pass's clear remains.
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glClearColor(0, 0, 0, 0);
  gl->Draw();
  std::vector<unsigned char> pixels = ReadWindowPixels();
  size_t painted = 0;  // colour only: the window has no alpha channel
  for (size_t i = 0; i < pixels.size(); i += 4) painted += pixels[i] || pixels[i + 1] || pixels[i + 2];
  EXPECT_EQ(painted, 0u);
}

}  // namespace
