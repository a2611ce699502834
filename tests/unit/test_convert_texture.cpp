// --texture: images of each format become a 1024 x 1024 24-bit BMP with the
// picture upright and every colour in its own channel.
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <cstdlib>

#include "Convert.h"
#include "ConvertFixtures.h"

namespace {

using namespace convert_test;

struct SColour {
  int r, g, b;
};

// Quadrants: red top left, green top right, blue bottom left, white bottom right.
SColour QuadrantColour(bool right, bool bottom) {
  if (!bottom) return right ? SColour{0, 255, 0} : SColour{255, 0, 0};
  return right ? SColour{255, 255, 255} : SColour{0, 0, 255};
}

std::vector<unsigned char> QuadrantPicture(int width, int height, int components) {
  std::vector<unsigned char> pixels((size_t)width * height * components);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      SColour c = QuadrantColour(x >= width / 2, y >= height / 2);
      unsigned char* p = &pixels[((size_t)y * width + x) * components];
      p[0] = (unsigned char)c.r;
      p[1] = (unsigned char)c.g;
      p[2] = (unsigned char)c.b;
      if (components == 4) p[3] = 128;  // alpha is dropped, not blended
    }
  return pixels;
}

struct SImageCase {
  const char* name;
  const char* file;
  int width, height, components;
  int tolerance;  // JPEG is lossy
};

int WriteImage(const SImageCase& c, const std::vector<unsigned char>& pixels) {
  std::string ext = std::string(c.file).substr(std::string(c.file).rfind('.'));
  if (ext == ".png") return stbi_write_png(c.file, c.width, c.height, c.components, pixels.data(), 0);
  if (ext == ".jpg") return stbi_write_jpg(c.file, c.width, c.height, c.components, pixels.data(), 100);
  if (ext == ".tga") return stbi_write_tga(c.file, c.width, c.height, c.components, pixels.data());
  return stbi_write_bmp(c.file, c.width, c.height, c.components, pixels.data());
}

uint32_t U32(const std::string& b, size_t at) {
  return (uint32_t)(unsigned char)b[at] | (uint32_t)(unsigned char)b[at + 1] << 8 |
         (uint32_t)(unsigned char)b[at + 2] << 16 | (uint32_t)(unsigned char)b[at + 3] << 24;
}

uint16_t U16(const std::string& b, size_t at) {
  return (uint16_t)((unsigned char)b[at] | (unsigned char)b[at + 1] << 8);
}

class ConvertTextureTest : public testing::TestWithParam<SImageCase> {};

TEST_P(ConvertTextureTest, Makes1024Square24BitBmpWithColoursInPlace) {
  ScratchDir dir;
  const SImageCase& c = GetParam();
  ASSERT_TRUE(WriteImage(c, QuadrantPicture(c.width, c.height, c.components)));
  std::string error;
  ASSERT_EQ(ConvertTexture(c.file, "tex2.bmp", error), 1) << error;

  const std::string bmp = dir.Read("tex2.bmp");
  ASSERT_GE(bmp.size(), 54u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(U32(bmp, 2), bmp.size());
  const uint32_t offset = U32(bmp, 10);
  EXPECT_EQ(U32(bmp, 14), 40u);            // BITMAPINFOHEADER
  EXPECT_EQ((int32_t)U32(bmp, 18), 1024);  // width
  EXPECT_EQ((int32_t)U32(bmp, 22), 1024);  // height, positive: bottom row first
  EXPECT_EQ(U16(bmp, 26), 1);              // planes
  EXPECT_EQ(U16(bmp, 28), 24);             // bits per pixel
  EXPECT_EQ(U32(bmp, 30), 0u);             // no compression
  ASSERT_EQ(bmp.size(), offset + 1024u * 1024u * 3u);

  // The middle of each quadrant, far from the edges the scaling blends.
  for (int bottom = 0; bottom < 2; ++bottom)
    for (int right = 0; right < 2; ++right) {
      const int x = right ? 768 : 256, row = bottom ? 768 : 256;
      const size_t at = offset + (size_t)(1023 - row) * 3072 + (size_t)x * 3;
      SColour want = QuadrantColour(right, bottom);
      EXPECT_NEAR((unsigned char)bmp[at + 2], want.r, c.tolerance) << "red at " << x << "," << row;
      EXPECT_NEAR((unsigned char)bmp[at + 1], want.g, c.tolerance) << "green at " << x << "," << row;
      EXPECT_NEAR((unsigned char)bmp[at + 0], want.b, c.tolerance) << "blue at " << x << "," << row;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ConvertTextureTest,
    testing::Values(SImageCase{"Png", "in.png", 8, 8, 3, 0},
                    SImageCase{"PngWithAlpha", "in.png", 16, 8, 4, 0},
                    SImageCase{"PngFullSize", "in.png", 1024, 1024, 3, 0},
                    SImageCase{"Jpeg", "in.jpg", 16, 16, 3, 12}, SImageCase{"TgaRle", "in.tga", 8, 16, 3, 0},
                    SImageCase{"Bmp", "in.bmp", 8, 8, 3, 0}, SImageCase{"Bmp32", "in.bmp", 8, 8, 4, 0}),
    [](const testing::TestParamInfo<SImageCase>& i) { return std::string(i.param.name); });

TEST(ConvertTextureCli, ConvertsThroughTheCommandLine) {
  ScratchDir dir;
  ASSERT_TRUE(stbi_write_png("photo.png", 8, 8, 3, QuadrantPicture(8, 8, 3).data(), 0));
  SRun run = RunConvertTool({"--texture", "photo.png", "tex2.bmp"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(dir.Read("tex2.bmp").size(), 54u + 1024u * 1024u * 3u);
}

}  // namespace
