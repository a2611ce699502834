// A texture made by vantrel-convert --texture, loaded by the viewer's own
// texture loader and read back from OpenGL.
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <memory>

#include "Convert.h"
#include "CpGl.h"
#include "GlWindow.h"
#include "KeepAlive.h"
#include "TestSupport.h"

namespace {

struct SQuadrant {
  bool right, bottom;
  int r, g, b;
};

// Red top left, green top right, blue bottom left, white bottom right.
const SQuadrant kQuadrants[] = {
    {false, false, 255, 0, 0},
    {true, false, 0, 255, 0},
    {false, true, 0, 0, 255},
    {true, true, 255, 255, 255},
};

std::vector<unsigned char> QuadrantPng(int width, int height) {
  std::vector<unsigned char> rgb((size_t)width * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (const SQuadrant& q : kQuadrants)
        if (q.right == (x >= width / 2) && q.bottom == (y >= height / 2)) {
          unsigned char* p = &rgb[((size_t)y * width + x) * 3];
          p[0] = (unsigned char)q.r;
          p[1] = (unsigned char)q.g;
          p[2] = (unsigned char)q.b;
        }
  return rgb;
}

TEST(ConvertTextureGl, ViewerLoadsTheConvertedBmpUprightWithItsColours) {
  ScratchDir dir;
  ASSERT_TRUE(stbi_write_png("photo.png", 24, 16, 3, QuadrantPng(24, 16).data(), 0));
  std::string error;
  ASSERT_EQ(ConvertTexture("photo.png", "tex2.bmp", error), 1) << error;

  OpenGlWindow();
  KeptPtr<CCpGl> renderer;
  std::string output = CaptureOutput([&] { renderer.reset(new CCpGl); });
  EXPECT_NE(output.find("image loaded\n"), std::string::npos) << output;
  const GLuint texture = renderer->pTextureArray[1];
  ASSERT_NE(texture, 0u);

  int width = 0, height = 0;
  std::vector<unsigned char> texels = ReadTexture(texture, &width, &height);
  ASSERT_EQ(width, 1024);
  ASSERT_EQ(height, 1024);
  // The loader puts the picture's top row in texture row 0.
  for (const SQuadrant& q : kQuadrants)
    for (int dy : {-100, 0, 100})
      for (int dx : {-100, 0, 100}) {
        const int x = (q.right ? 768 : 256) + dx, row = (q.bottom ? 768 : 256) + dy;
        const unsigned char* p = &texels[((size_t)row * 1024 + x) * 4];
        EXPECT_EQ((int)p[0], q.r) << "red at " << x << "," << row;
        EXPECT_EQ((int)p[1], q.g) << "green at " << x << "," << row;
        EXPECT_EQ((int)p[2], q.b) << "blue at " << x << "," << row;
      }
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

}  // namespace
