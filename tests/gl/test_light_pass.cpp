// The light pass, read back from the render-target texture: each light's
// view and frustum, the depth attachment that keeps the nearest surface,
// and the state the pass leaves for the scene pass.
#include "PassTestSupport.h"

using namespace passtest;

namespace {

// The light-pass fixture writes green wherever it draws; the clear leaves 0.
bool IsDrawn(const unsigned char* p) { return p[1] == 255; }

std::vector<unsigned char> RenderTarget(const CCpGl& gl) {
  int width = 0, height = 0;
  std::vector<unsigned char> texels = ReadTexture(gl.pTextureArray[0], &width, &height);
  EXPECT_EQ(width, 1024);
  EXPECT_EQ(height, 1024);
  return texels;
}

const unsigned char* Texel(const std::vector<unsigned char>& texels, int x, int y) {
  return &texels[((size_t)y * 1024 + x) * 4];
}

std::vector<SVec> Offset(const std::vector<SVec>& quad, SVec by) {
  std::vector<SVec> moved;
  for (SVec c : quad) moved.push_back(c + by);
  return moved;
}

class LightPassTest : public testing::Test {
 protected:
  std::string RenderLights() {
    return CaptureOutput([&] { gl->RenderLights(); });
  }

  ScratchDir dir;
  KeptPtr<TestGl> gl;
};

// Object 1 stands 10 units along +X, out of the first light's view; the
// second light, 10.4 along +X with a wide, flat frustum, sees it left of
// centre. Only the second light's image may remain.
TEST_F(LightPassTest, TextureHoldsOnlyTheLastLightsImage) {
  std::vector<SVec> quadA = Square({0, 0, -1}, {1, 0, 0}, {0, 1, 0}, 0.2);
  std::vector<SVec> quadB = Square({0, 0, -1}, {1, 0, 0}, {0, 1, 0}, 0.3);
  gl = MakeScene(dir, {quadA, quadB});
  ASSERT_TRUE(gl);
  OneObjectPerQuad(*gl, 2);
  gl->pGraphicObjectArray[1].x = 10.0f;
  SLightObject first = MakeLight({0, 0, 0}, 0, 0);
  SLightObject second = MakeLight({10.4, 0, 0}, 0, 0, 0.4f, 0.2f);
  SetLights(*gl, {first, second});

  RenderLights();
  SBox drawn = LitBox(RenderTarget(*gl), 1024, 1024, IsDrawn);
  SBox expected = ExpectedBox(LightEye(second), LightLens(second), Offset(quadB, {10, 0, 0}));
  ExpectBoxNear(drawn, expected, 1.0);
  EXPECT_LT(expected.maxX, 512) << "the first light's image would be in the middle";
}

TEST_F(LightPassTest, DefaultLightRendersWhatLiesAheadOfIt) {
  const SLightObject light = MakeLight({-60, 310, 200}, 40, 230);
  SEye eye = LightEye(light);
  // A quad 20 units ahead of the light and 1 to its right, facing it.
  std::vector<SVec> quad =
      Square(eye.position + 20 * eye.FromEye({0, 0, -1}) + 1.0 * eye.Right(), eye.Right(), eye.Up(), 0.5);
  gl = MakeScene(dir, {quad});
  ASSERT_TRUE(gl);
  ASSERT_EQ(gl->iLightCount, 1);
  const SLightObject& loaded = gl->pLightObjectArray[0];
  ASSERT_EQ(
      (std::vector<float>{loaded.x, loaded.y, loaded.z, loaded.ax, loaded.ay, loaded.width, loaded.height}),
      (std::vector<float>{-60, 310, 200, 40, 230, 0.2f, 0.2f}));

  RenderLights();
  SBox drawn = LitBox(RenderTarget(*gl), 1024, 1024, IsDrawn);
  SBox expected = ExpectedBox(eye, LightLens(light), quad);
  ExpectBoxNear(drawn, expected, 1.0);
  EXPECT_GT(expected.minX, 512) << "the quad was placed right of the light's axis";
}

// The far quad is drawn last and covers the near one: with a depth buffer
// the near one still holds the middle of the image.
TEST_F(LightPassTest, NearerSurfaceWinsOverOneDrawnLater) {
  gl = MakeScene(
      dir, {Square({0, 0, -1}, {1, 0, 0}, {0, 1, 0}, 0.3), Square({0, 0, -2}, {1, 0, 0}, {0, 1, 0}, 1.0)});
  ASSERT_TRUE(gl);
  OneObjectPerQuad(*gl, 2);
  SLightObject light = MakeLight({0, 0, 0}, 0, 0);
  SetLights(*gl, {light});

  RenderLights();
  std::vector<unsigned char> texels = RenderTarget(*gl);
  SLens lens = LightLens(light);
  const unsigned char* middle = Texel(texels, 512, 512);     // inside both quads
  const unsigned char* rim = Texel(texels, 512 + 205, 512);  // only the far quad: x 0.4 of 0.5
  EXPECT_NEAR(middle[0], 255 * WindowDepth(lens, 1.0), 1.0);
  EXPECT_NEAR(rim[0], 255 * WindowDepth(lens, 2.0), 1.0);
  EXPECT_TRUE(IsDrawn(middle));
  EXPECT_TRUE(IsDrawn(rim));
}

TEST_F(LightPassTest, DepthAttachmentIsMadeOnceAtTheTargetsSize) {
  gl = MakeScene(dir, {Square({0, 0, -1}, {1, 0, 0}, {0, 1, 0}, 0.3)});
  ASSERT_TRUE(gl);
  RenderLights();
  GLuint first = gl->dwShadowDepthBuffer;
  RenderLights();
  EXPECT_NE(first, 0u);
  EXPECT_EQ(gl->dwShadowDepthBuffer, first);

  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, gl->pTextureArray[0]);
  GLint type = 0, name = 0, width = 0, height = 0, depthBits = 0;
  glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                           GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE_EXT, &type);
  glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                           GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT, &name);
  GLenum status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, first);
  glGetRenderbufferParameterivEXT(GL_RENDERBUFFER_EXT, GL_RENDERBUFFER_WIDTH_EXT, &width);
  glGetRenderbufferParameterivEXT(GL_RENDERBUFFER_EXT, GL_RENDERBUFFER_HEIGHT_EXT, &height);
  glGetRenderbufferParameterivEXT(GL_RENDERBUFFER_EXT, GL_RENDERBUFFER_DEPTH_SIZE_EXT, &depthBits);
  EXPECT_EQ(type, GL_RENDERBUFFER_EXT);
  EXPECT_EQ((GLuint)name, first);
  EXPECT_EQ(status, (GLenum)GL_FRAMEBUFFER_COMPLETE_EXT);
  EXPECT_EQ(width, 1024);
  EXPECT_EQ(height, 1024);
  EXPECT_GE(depthBits, 16);
}

TEST_F(LightPassTest, LeavesWindowFramebufferBoundAndMainProgramCurrent) {
  gl = MakeScene(dir, {Square({0, 0, -1}, {1, 0, 0}, {0, 1, 0}, 0.3)});
  ASSERT_TRUE(gl);
  SetLights(*gl, {MakeLight({0, 0, 0}, 0, 0), MakeLight({0, 0, 0}, 0, 90)});
  glUseProgramObjectARB(0);
  RenderLights();
  GLint framebuffer = -1, program = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  EXPECT_EQ(framebuffer, 0);
  EXPECT_EQ((GLhandleARB)program, gl->programObject);
}

TEST_F(LightPassTest, WithoutLightsTextureIsUntouchedAndMainProgramIsCurrent) {
  gl = MakeScene(dir, {Square({0, 0, -1}, {1, 0, 0}, {0, 1, 0}, 0.3)});
  ASSERT_TRUE(gl);
  SetLights(*gl, {});
  std::vector<unsigned char> pattern(1024 * 1024 * 4);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = (unsigned char)(i * 7 + i / 4096);
  glBindTexture(GL_TEXTURE_2D, gl->pTextureArray[0]);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 1024, 1024, GL_RGBA, GL_UNSIGNED_BYTE, pattern.data());
  glUseProgramObjectARB(0);

  EXPECT_EQ(RenderLights(), "");
  GLint program = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  EXPECT_EQ((GLhandleARB)program, gl->programObject);
  EXPECT_TRUE(RenderTarget(*gl) == pattern) << "the render target changed";
}

}  // namespace
