// The renderer's construction in a real OpenGL context: the fixed state it
// leaves, the camera it starts with, what it writes, and Clear.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <vector>

#include "CpGl.h"
#include "GlWindow.h"
#include "KeepAlive.h"
#include "TestSupport.h"

namespace {

class TestGl : public CCpGl {
 public:
  using CCpGl::Clear;
};

// Window pixels with any colour; the window has no alpha channel to read.
size_t PaintedPixels() {
  std::vector<unsigned char> pixels = ReadWindowPixels();
  size_t painted = 0;
  for (size_t i = 0; i < pixels.size(); i += 4) painted += pixels[i] || pixels[i + 1] || pixels[i + 2];
  return painted;
}

class RendererSetupTest : public testing::Test {
 protected:
  void SetUp() override { OpenGlWindow(); }

  // State unlike what the constructor sets, so each value it leaves shows.
  static void SpoilState() {
    glViewport(1, 2, 3, 4);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(2, 3, 4);
    glMatrixMode(GL_MODELVIEW);
    glFrontFace(GL_CW);
  }

  // Constructs over memory full of a pattern, so fields left unset show too.
  std::string Construct() {
    void* memory = ::operator new(sizeof(TestGl));
    std::memset(memory, 0x7f, sizeof(TestGl));
    // Errors left by an earlier test in this process are not the constructor's.
    while (glGetError() != GL_NO_ERROR) {
    }
    std::string output = CaptureOutput([&] { gl = new (memory) TestGl(); });
    KeepUntilExit(gl);
    return output;
  }

  ScratchDir dir;
  TestGl* gl = nullptr;  // never released, like the program's renderer
};

struct SetupCase {
  const char* name;
  bool withScene;
  int objects, lights;
};

class RendererSetupStateTest : public RendererSetupTest, public testing::WithParamInterface<SetupCase> {};

TEST_P(RendererSetupStateTest, LeavesTheFixedStateAndTheStartingCamera) {
  const SetupCase& c = GetParam();
  if (c.withScene)
    dir.Write("World.obj", MakeWorld({0, 0, -10, 1, 0, -10, 0, 1, -10}, {0, 1, 2}, {0, 0, 1, 0, 0, 1}));
  SpoilState();
  Construct();

  GLfloat projection[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(projection[i], i % 5 == 0 ? 1.0f : 0.0f) << "projection element " << i;
  GLint mode = 0, viewport[4] = {0, 0, 0, 0}, frontFace = 0, cullFace = 0, depthFunc = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  glGetIntegerv(GL_VIEWPORT, viewport);
  glGetIntegerv(GL_FRONT_FACE, &frontFace);
  glGetIntegerv(GL_CULL_FACE_MODE, &cullFace);
  glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
  EXPECT_EQ(mode, GL_PROJECTION);
  EXPECT_EQ(viewport[0], 0);
  EXPECT_EQ(viewport[1], 0);
  EXPECT_EQ(viewport[2], 640);
  EXPECT_EQ(viewport[3], 480);
  EXPECT_EQ(frontFace, GL_CCW);
  EXPECT_EQ(cullFace, GL_BACK);
  EXPECT_EQ(depthFunc, GL_LESS);
  for (GLenum cap : {GL_DEPTH_TEST, GL_CULL_FACE, GL_VERTEX_ARRAY, GL_TEXTURE_COORD_ARRAY, GL_NORMAL_ARRAY})
    EXPECT_TRUE(glIsEnabled(cap)) << "capability 0x" << std::hex << cap;
  glActiveTexture(GL_TEXTURE0);  // texturing is enabled per unit; the constructor ran on unit 0
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));

  EXPECT_EQ(gl->sPos.x, 0.0f);
  EXPECT_EQ(gl->sPos.y, 0.0f);
  EXPECT_EQ(gl->sPos.z, 0.0f);
  EXPECT_EQ(gl->ax, 0.0f);
  EXPECT_EQ(gl->ay, 0.0f);
  EXPECT_EQ(gl->dx, 0.0f);
  EXPECT_EQ(gl->dy, 0.0f);
  EXPECT_EQ(gl->dz, -1.0f);
  EXPECT_EQ(gl->lmap, 0);
  // Without a scene the counts are 0, so both passes walk nothing.
  EXPECT_EQ(gl->iGraphicObjectCount, c.objects);
  EXPECT_EQ(gl->iLightCount, c.lights);
  EXPECT_EQ(gl->iTextureCount, 2u);
}

INSTANTIATE_TEST_SUITE_P(Cases, RendererSetupStateTest,
                         testing::Values(SetupCase{"empty_folder", false, 0, 0},
                                         SetupCase{"one_triangle_scene", true, 1, 1}),
                         [](const testing::TestParamInfo<SetupCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(RendererSetupTest, WritesItsStartUpLinesWhenNoInputFileExists) {
  EXPECT_EQ(Construct(),
            "Init: CpGl\n"
            "loading objects\n"
            "Failed to load image\n"
            "Failed to open file\n"
            "no error\n"
            "Failed to open file vshader.sh\n"
            "Failed to load shaders\n"
            "evo 34894\n");
}

TEST_F(RendererSetupTest, ClearLeavesTransparentBlackAndResetsTheClearDepthAfterwards) {
  Construct();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glClearColor(0, 0, 0, 0);
  glClearDepth(0.25);

  // The first clear still uses the depth set before it.
  gl->Clear();
  GLfloat depth = 0, clearDepth = 0;
  glReadPixels(320, 240, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
  glGetFloatv(GL_DEPTH_CLEAR_VALUE, &clearDepth);
  EXPECT_NEAR(depth, 0.25f, 1e-3);
  EXPECT_EQ(clearDepth, 1.0f);
  EXPECT_EQ(PaintedPixels(), 0u);

  gl->Clear();
  glReadPixels(320, 240, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
  EXPECT_EQ(depth, 1.0f);
}

}  // namespace
