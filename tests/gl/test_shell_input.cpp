// Input through SDL's real event queue: events pushed with SDL_PushEvent,
// then one CheckInput per frame, as the frame loop calls it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "CpGl.h"
#include "CpSDL.h"
#include "KeepAlive.h"
#include "TestSupport.h"

namespace {

class TestApp : public CCpSDL {
 public:
  TestApp() : CCpSDL("Vantrel", "") {}
  using CCpSDL::CheckInput;
  using CCpSDL::events;
  using CCpSDL::running;
};

SDL_Event Key(Uint8 type, SDLKey sym) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = type;
  e.key.type = type;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = sym;
  return e;
}
SDL_Event Down(SDLKey sym) { return Key(SDL_KEYDOWN, sym); }
SDL_Event Up(SDLKey sym) { return Key(SDL_KEYUP, sym); }

SDL_Event Motion(Sint16 xrel, Sint16 yrel) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = SDL_MOUSEMOTION;
  e.motion.type = SDL_MOUSEMOTION;
  e.motion.xrel = xrel;
  e.motion.yrel = yrel;
  return e;
}

SDL_Event Quit() {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = SDL_QUIT;
  return e;
}

// The default light that loading a scene creates.
const float kLightX = -60, kLightY = 310, kLightZ = 200, kLightAx = 40, kLightAy = 230;

// The application object in a folder with a one-triangle scene, so a light
// exists; the events SDL queues while opening the window are drained first.
class ShellInputTest : public testing::Test {
 protected:
  void SetUp() override {
    dir.Write("World.obj", MakeWorld({0, 0, -10, 1, 0, -10, 0, 1, -10}, {0, 1, 2}, {0, 0, 1, 0, 0, 1}));
    CaptureOutput([&] { app.reset(new TestApp()); });
    gl = app->pCpGl;
    ASSERT_EQ(gl->iLightCount, 1);
    Frame();
    ASSERT_EQ(gl->ax, 0.0f);
    ASSERT_EQ(gl->ay, 0.0f);
    ASSERT_EQ(gl->sPos.x, 0.0f);
    ASSERT_EQ(gl->sPos.z, 0.0f);
    ASSERT_TRUE(app->running);
  }

  void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 0) << SDL_GetError(); }

  // One input pass; returns what it wrote.
  std::string Frame() {
    return CaptureOutput([&] { app->CheckInput(); });
  }

  bool NoKeyHeld() const {
    for (SDL_Event* e : app->events.events)
      if (e) return false;
    return true;
  }

  ScratchDir dir;
  KeptPtr<TestApp> app;
  CCpGl* gl = nullptr;
};

TEST_F(ShellInputTest, HeldKeyActsOncePerFrameUntilReleased) {
  Push(Down(SDLK_UP));
  for (int frame = 1; frame <= 3; ++frame) {
    EXPECT_EQ(Frame(), "");
    EXPECT_FLOAT_EQ(gl->sPos.z, -5.0f * frame) << "frame " << frame;
  }
  EXPECT_EQ(gl->sPos.x, 0.0f);
  EXPECT_EQ(gl->sPos.y, 0.0f);

  Push(Up(SDLK_UP));
  EXPECT_EQ(Frame(), "");
  Frame();
  EXPECT_FLOAT_EQ(gl->sPos.z, -15.0f);
  EXPECT_TRUE(NoKeyHeld());
}

TEST_F(ShellInputTest, KeyTappedWithinOneFrameNeverActs) {
  for (SDLKey k : {SDLK_ESCAPE, SDLK_UP, SDLK_w, SDLK_z}) {
    Push(Down(k));
    Push(Up(k));
  }
  EXPECT_EQ(Frame(), "");
  EXPECT_TRUE(app->running);
  EXPECT_EQ(gl->sPos.z, 0.0f);
  EXPECT_EQ(gl->pLightObjectArray[0].x, kLightX);
  EXPECT_EQ(gl->pLightObjectArray[0].ax, kLightAx);
  EXPECT_TRUE(NoKeyHeld());
}

TEST_F(ShellInputTest, LightMapSwitchFlipsOncePerPress) {
  Push(Down(SDLK_l));
  Frame();
  EXPECT_EQ(gl->lmap, 1);
  for (int i = 0; i < 3; ++i) Frame();
  EXPECT_EQ(gl->lmap, 1) << "holding L flips nothing more";
  Push(Up(SDLK_l));
  Frame();
  EXPECT_EQ(gl->lmap, 1) << "the release flips nothing";

  // A tap inside one frame still counts: the switch acts in the event loop.
  Push(Down(SDLK_l));
  Push(Up(SDLK_l));
  Frame();
  EXPECT_EQ(gl->lmap, 0);
  EXPECT_TRUE(NoKeyHeld());
}

struct BindingCase {
  const char* name;
  SDLKey key;
  float lx, ly, lz;  // light position change
  float lax, lay;    // light angle change
  float cx, cy, cz;  // camera position change
  bool stops;
};

class ShellBindingTest : public ShellInputTest, public testing::WithParamInterface<BindingCase> {};

TEST_P(ShellBindingTest, HeldKeyAppliesItsBindingToTheFirstLightOrCamera) {
  const BindingCase& c = GetParam();
  Push(Down(c.key));
  EXPECT_EQ(Frame(), "");
  const SLightObject& light = gl->pLightObjectArray[0];
  EXPECT_FLOAT_EQ(light.x, kLightX + c.lx);
  EXPECT_FLOAT_EQ(light.y, kLightY + c.ly);
  EXPECT_FLOAT_EQ(light.z, kLightZ + c.lz);
  EXPECT_FLOAT_EQ(light.ax, kLightAx + c.lax);
  EXPECT_FLOAT_EQ(light.ay, kLightAy + c.lay);
  EXPECT_NEAR(gl->sPos.x, c.cx, 1e-5);
  EXPECT_NEAR(gl->sPos.y, c.cy, 1e-5);
  EXPECT_NEAR(gl->sPos.z, c.cz, 1e-5);
  EXPECT_EQ(app->running, !c.stops);
  EXPECT_EQ(gl->lmap, 0);
  EXPECT_EQ(gl->ax, 0.0f);
  EXPECT_EQ(gl->ay, 0.0f);
}

const float kStrafe = 2.2360680f;  // sqrt(5): Rescale(5) sets the squared length

INSTANTIATE_TEST_SUITE_P(
    Keys, ShellBindingTest,
    testing::Values(BindingCase{"Q", SDLK_q, -5, 0, 0, 0, 0, 0, 0, 0, false},
                    BindingCase{"W", SDLK_w, 5, 0, 0, 0, 0, 0, 0, 0, false},
                    BindingCase{"E", SDLK_e, 0, 0, -5, 0, 0, 0, 0, 0, false},
                    BindingCase{"D", SDLK_d, 0, 0, 5, 0, 0, 0, 0, 0, false},
                    BindingCase{"F", SDLK_f, 0, -5, 0, 0, 0, 0, 0, 0, false},
                    BindingCase{"R", SDLK_r, 0, 5, 0, 0, 0, 0, 0, 0, false},
                    BindingCase{"Escape", SDLK_ESCAPE, 0, 0, 0, 0, 0, 0, 0, 0, true},
                    BindingCase{"Left", SDLK_LEFT, 0, 0, 0, 0, 0, -kStrafe, 0, 0, false},
                    BindingCase{"Right", SDLK_RIGHT, 0, 0, 0, 0, 0, kStrafe, 0, 0, false},
                    BindingCase{"Up", SDLK_UP, 0, 0, 0, 0, 0, 0, 0, -5, false},
                    BindingCase{"Down", SDLK_DOWN, 0, 0, 0, 0, 0, 0, 0, 5, false},
                    BindingCase{"Z", SDLK_z, 0, 0, 0, 0.3f, 0, 0, 0, 0, false},
                    BindingCase{"X", SDLK_x, 0, 0, 0, -0.3f, 0, 0, 0, 0, false},
                    BindingCase{"A", SDLK_a, 0, 0, 0, 0, 0.3f, 0, 0, 0, false},
                    BindingCase{"S", SDLK_s, 0, 0, 0, 0, -0.3f, 0, 0, 0, false},
                    // Keys without a binding are held and do nothing.
                    BindingCase{"Unbound", SDLK_k, 0, 0, 0, 0, 0, 0, 0, 0, false}),
    [](const testing::TestParamInfo<BindingCase>& info) { return std::string(info.param.name); });

TEST_F(ShellInputTest, OppositeLightKeysHeldTogetherCancel) {
  Push(Down(SDLK_q));
  Frame();
  EXPECT_EQ(gl->pLightObjectArray[0].x, kLightX - 5);
  Push(Down(SDLK_w));
  Frame();
  Frame();
  EXPECT_EQ(gl->pLightObjectArray[0].x, kLightX - 5);
}

TEST_F(ShellInputTest, UpAndLeftBothApplyInOneFrame) {
  Push(Down(SDLK_UP));
  Push(Down(SDLK_LEFT));
  Frame();
  EXPECT_NEAR(gl->sPos.x, -kStrafe, 1e-5);
  EXPECT_EQ(gl->sPos.y, 0.0f);
  EXPECT_NEAR(gl->sPos.z, -5.0f, 1e-5);
}

TEST_F(ShellInputTest, AtFullPitchStrafeStaysHorizontalAndForwardStaysFiveUnits) {
  Push(Motion(0, 300));  // 90 degrees down, held back to 89
  Frame();
  ASSERT_EQ(gl->ax, 89.0f);

  Push(Down(SDLK_LEFT));
  Frame();
  Vector3f step = gl->sPos;
  EXPECT_EQ(step.y, 0.0f);
  EXPECT_NEAR(std::sqrt(step.x * step.x + step.z * step.z), kStrafe, 1e-5);
  // Left of a camera looking along -z is -x.
  EXPECT_NEAR(step.x, -kStrafe, 1e-4);

  Push(Up(SDLK_LEFT));
  Push(Down(SDLK_UP));
  Frame();
  Vector3f forward = gl->sPos - step;
  EXPECT_NEAR(std::sqrt(forward.x * forward.x + forward.y * forward.y + forward.z * forward.z), 5.0f, 1e-4);
  EXPECT_NEAR(forward.y, 5.0f * gl->dy, 1e-5);
  EXPECT_LT(forward.y, -4.99f) << "looking almost straight down";
}

struct StopCase {
  const char* name;
  std::vector<SDL_Event> events;
};

class ShellStopTest : public ShellInputTest, public testing::WithParamInterface<StopCase> {};

TEST_P(ShellStopTest, EndsTheFrameLoop) {
  for (const SDL_Event& e : GetParam().events) Push(e);
  Frame();
  EXPECT_FALSE(app->running);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShellStopTest,
                         testing::Values(StopCase{"escape_held", {Down(SDLK_ESCAPE)}},
                                         StopCase{"quit_event", {Quit()}}),
                         [](const testing::TestParamInfo<StopCase>& info) {
                           return std::string(info.param.name);
                         });

struct MotionCase {
  const char* name;
  Sint16 xrel, yrel;
  float ax, ay;
};

class ShellMouseTest : public ShellInputTest, public testing::WithParamInterface<MotionCase> {};

TEST_P(ShellMouseTest, TurnsPointThreeDegreesPerPixel) {
  const MotionCase& c = GetParam();
  Push(Motion(c.xrel, c.yrel));
  Frame();
  EXPECT_FLOAT_EQ(gl->ax, c.ax);
  EXPECT_FLOAT_EQ(gl->ay, c.ay);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShellMouseTest,
                         testing::Values(MotionCase{"right", 10, 0, 0, 3}, MotionCase{"left", -10, 0, 0, -3},
                                         MotionCase{"down", 0, 10, 3, 0}, MotionCase{"up", 0, -10, -3, 0},
                                         MotionCase{"diagonal", 7, -4, -1.2f, 2.1f}),
                         [](const testing::TestParamInfo<MotionCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(ShellInputTest, MouseLookTurnsWithoutLimit) {
  // 50 frames of five 100-pixel moves: 30 degrees each, 7500 in all.
  for (int frame = 1; frame <= 50; ++frame) {
    for (int i = 0; i < 5; ++i) Push(Motion(100, 0));
    Frame();
    ASSERT_FLOAT_EQ(gl->ay, 150.0f * frame) << "frame " << frame;
  }
}

TEST_F(ShellInputTest, ReleaseOfAKeyNotHeldIsReportedAndInputGoesOn) {
  Push(Up(SDLK_UP));  // pressed before the program started
  EXPECT_EQ(Frame(), "Error: deleting an unexisting element\n");
  EXPECT_TRUE(app->running);
  Push(Down(SDLK_UP));
  Frame();
  EXPECT_FLOAT_EQ(gl->sPos.z, -5.0f);
}

}  // namespace
