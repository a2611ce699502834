// Texture creation: the empty render target, images uploaded as they lie,
// images converted to the caller's size, and images that fail to load.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include "BmpFile.h"
#include "CpGl.h"
#include "GlWindow.h"
#include "KeepAlive.h"
#include "TestSupport.h"

namespace {

struct STextureState {
  GLint width, height, internalFormat, minFilter, magFilter, wrapS, wrapT;
};

STextureState QueryTexture(GLuint name) {
  STextureState s{};
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &s.width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &s.height);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &s.internalFormat);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &s.minFilter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &s.magFilter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &s.wrapS);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &s.wrapT);
  return s;
}

GLint Integer(GLenum what) {
  GLint v = -1;
  glGetIntegerv(what, &v);
  return v;
}

GLuint NextTextureName() {
  GLuint name = 0;
  glGenTextures(1, &name);
  return name;
}

// Texture row t holds picture row t, every texel in its own channels.
void ExpectTexels(GLuint name, const SPicture& expected) {
  int w = 0, h = 0;
  std::vector<unsigned char> texels = ReadTexture(name, &w, &h);
  ASSERT_EQ(w, expected.width);
  ASSERT_EQ(h, expected.height);
  for (int t = 0; t < h; ++t)
    for (int x = 0; x < w; ++x) {
      const unsigned char* p = &texels[((size_t)t * w + x) * 4];
      Rgb want = expected.At(x, t);
      EXPECT_EQ((int)p[0], (int)want.r) << "red at " << x << "," << t;
      EXPECT_EQ((int)p[1], (int)want.g) << "green at " << x << "," << t;
      EXPECT_EQ((int)p[2], (int)want.b) << "blue at " << x << "," << t;
    }
}

// A renderer made in an empty folder: no scene, no image; LoadTexture needs
// nothing more.
class AssetsTexture : public testing::Test {
 protected:
  void SetUp() override {
    OpenGlWindow();
    CaptureOutput([&] { renderer.reset(new CCpGl); });
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
  }

  GLuint Load(GLuint x, GLuint y, const char* name, std::string* output) {
    GLuint result = 0;
    *output = CaptureOutput([&] { result = renderer->LoadTexture(x, y, name); });
    return result;
  }

  ScratchDir dir;
  KeptPtr<CCpGl> renderer;
};

TEST_F(AssetsTexture, RenderTargetHasTheCallersSizeNearestFiltersRepeatWrapAndPrintsNothing) {
  const GLuint sizes[][2] = {{1024, 1024}, {64, 32}};
  for (const auto& size : sizes) {
    std::string output;
    GLuint name = Load(size[0], size[1], "", &output);
    ASSERT_NE(name, 0u);
    EXPECT_EQ(output, "");
    EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), (GLint)name);
    EXPECT_EQ(Integer(GL_UNPACK_ALIGNMENT), 4);
    STextureState s = QueryTexture(name);
    EXPECT_EQ(s.width, (GLint)size[0]);
    EXPECT_EQ(s.height, (GLint)size[1]);
    EXPECT_EQ(s.internalFormat, GL_RGBA);
    EXPECT_EQ(s.minFilter, GL_NEAREST);
    EXPECT_EQ(s.magFilter, GL_NEAREST);
    EXPECT_EQ(s.wrapS, GL_REPEAT);
    EXPECT_EQ(s.wrapT, GL_REPEAT);
  }
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

struct ImageCase {
  const char* name;
  int bitsPerPixel;
  SPicture picture;
  GLuint x, y;
  SPicture expected;
};

void PrintTo(const ImageCase& c, std::ostream* os) { *os << c.name; }

SPicture TopRows(const SPicture& p, int rows) {
  return SPicture{p.width, rows,
                  std::vector<Rgb>(p.pixels.begin(), p.pixels.begin() + (size_t)p.width * rows)};
}

// Left half one colour, right half another.
SPicture Halves(int width, int height, Rgb left, Rgb right) {
  SPicture p{width, height, {}};
  for (int row = 0; row < height; ++row)
    for (int x = 0; x < width; ++x) p.pixels.push_back(x < width / 2 ? left : right);
  return p;
}

const Rgb kOrange{250, 120, 10};
const Rgb kTeal{5, 140, 160};

class AssetsTextureImage : public AssetsTexture, public testing::WithParamInterface<ImageCase> {};

TEST_P(AssetsTextureImage, ComesOutAtTheCallersSizeTopRowFirstInItsOwnChannels) {
  const ImageCase& c = GetParam();
  dir.Write("image.bmp", MakeBmp(c.picture, c.bitsPerPixel));
  std::string output;
  GLuint name = Load(c.x, c.y, "image.bmp", &output);
  ASSERT_NE(name, 0u);
  EXPECT_EQ(output, "image loaded\n");
  EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), (GLint)name);
  EXPECT_EQ(Integer(GL_UNPACK_ALIGNMENT), 1);
  EXPECT_EQ(Integer(GL_PACK_ALIGNMENT), 4);
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
  STextureState s = QueryTexture(name);
  EXPECT_EQ(s.internalFormat, GL_RGB);
  EXPECT_EQ(s.minFilter, GL_LINEAR);
  EXPECT_EQ(s.magFilter, GL_LINEAR);
  EXPECT_EQ(s.wrapS, GL_REPEAT);
  EXPECT_EQ(s.wrapT, GL_REPEAT);
  ExpectTexels(name, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AssetsTextureImage,
    testing::Values(
        // Uploaded as it lies: 24 bits, exactly x wide, rows without padding.
        ImageCase{"exact_24_bit", 24, DistinctPicture(4, 3), 4, 3, DistinctPicture(4, 3)},
        ImageCase{"taller_24_bit_gives_its_top_rows", 24, DistinctPicture(4, 6), 4, 3,
                  TopRows(DistinctPicture(4, 6), 3)},
        // Converted at their own size: every texel is one pixel.
        ImageCase{"palette_8_bit", 8, DistinctPicture(4, 2), 4, 2, DistinctPicture(4, 2)},
        ImageCase{"odd_width_24_bit_padded_rows", 24, DistinctPicture(5, 3), 5, 3, DistinctPicture(5, 3)},
        ImageCase{"odd_width_palette_8_bit", 8, DistinctPicture(3, 5), 3, 5, DistinctPicture(3, 5)},
        ImageCase{"32_bit", 32, DistinctPicture(4, 2), 4, 2, DistinctPicture(4, 2)},
        ImageCase{"32_bit_odd_size", 32, DistinctPicture(3, 3), 3, 3, DistinctPicture(3, 3)},
        ImageCase{"16_bit", 16, Halves(4, 2, Rgb{255, 0, 255}, Rgb{0, 255, 0}), 4, 2,
                  Halves(4, 2, Rgb{255, 0, 255}, Rgb{0, 255, 0})},
        // Converted and scaled to the caller's size.
        ImageCase{"24_bit_shorter_than_y", 24, SolidPicture(4, 2, kOrange), 4, 8,
                  SolidPicture(4, 8, kOrange)},
        ImageCase{"24_bit_wider_than_x", 24, Halves(8, 2, kOrange, kTeal), 2, 1,
                  Halves(2, 1, kOrange, kTeal)},
        ImageCase{"24_bit_narrower_than_x", 24, SolidPicture(4, 4, kTeal), 16, 4, SolidPicture(16, 4, kTeal)},
        ImageCase{"palette_8_bit_scaled_down", 8, Halves(8, 4, kTeal, kOrange), 2, 2,
                  Halves(2, 2, kTeal, kOrange)},
        ImageCase{"palette_8_bit_scaled_up", 8, SolidPicture(3, 3, kOrange), 12, 12,
                  SolidPicture(12, 12, kOrange)},
        ImageCase{"32_bit_scaled_down", 32, Halves(8, 2, kOrange, kTeal), 2, 1,
                  Halves(2, 1, kOrange, kTeal)}),
    [](const testing::TestParamInfo<ImageCase>& info) { return std::string(info.param.name); });

struct FailureCase {
  const char* name;
  bool present;
  std::vector<unsigned char> bytes;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

std::vector<unsigned char> Truncated(std::vector<unsigned char> b, size_t size) {
  b.resize(size);
  return b;
}

// A header field rewritten, so the header claims what the bytes do not hold.
std::vector<unsigned char> WithU32(std::vector<unsigned char> b, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) b[offset + i] = (unsigned char)(value >> (8 * i));
  return b;
}

// The most resident memory the process has had, in kB.
long PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

std::vector<unsigned char> Text(const std::string& s) {
  return std::vector<unsigned char>(s.begin(), s.end());
}

class AssetsTextureFailure : public AssetsTexture, public testing::WithParamInterface<FailureCase> {};

TEST_P(AssetsTextureFailure, PrintsTheMessageReturnsZeroAndTouchesNoState) {
  const FailureCase& c = GetParam();
  if (c.present) dir.Write("image.bmp", c.bytes);
  GLuint bound = NextTextureName();
  glBindTexture(GL_TEXTURE_2D, bound);
  std::string output;
  const long peakBefore = PeakResidentKb();
  GLuint name = Load(4, 3, "image.bmp", &output);
  // Nothing of the size a header claims was allocated and filled.
  EXPECT_LT(PeakResidentKb() - peakBefore, 64 * 1024);
  EXPECT_EQ(name, 0u);
  EXPECT_EQ(output, "Failed to load image\n");
  EXPECT_EQ(Integer(GL_UNPACK_ALIGNMENT), 4);
  EXPECT_EQ(Integer(GL_PACK_ALIGNMENT), 4);
  EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), (GLint)bound);
  // No name was taken in between.
  EXPECT_EQ(NextTextureName(), bound + 1);
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AssetsTextureFailure,
    testing::Values(FailureCase{"missing", false, {}}, FailureCase{"empty", true, {}},
                    FailureCase{"not_a_bmp", true, Text("P6\n4 3\n255\nthis is no bitmap at all")},
                    FailureCase{"header_cut_short", true, Truncated(MakeBmp(DistinctPicture(4, 3), 24), 30)},
                    FailureCase{"pixels_cut_short", true,
                                Truncated(MakeBmp(DistinctPicture(4, 3), 24), 54 + 20)},
                    FailureCase{"palette_pixels_cut_short", true,
                                Truncated(MakeBmp(DistinctPicture(5, 3), 8), 54 + 4 * 15 + 10)},
                    // Refused before SDL allocates what the header claims.
                    FailureCase{"height_of_855_million_rows_in_a_small_file", true,
                                WithU32(MakeBmp(DistinctPicture(3, 5), 8), 22, 0x33000005u)},
                    FailureCase{"top_down_height_of_minus_2_to_the_31", true,
                                WithU32(MakeBmp(DistinctPicture(4, 3), 24), 22, 0x80000000u)},
                    FailureCase{"width_beyond_the_side_limit_run_length_coded", true,
                                WithU32(WithU32(MakeBmp(DistinctPicture(4, 1), 8), 18, 16385), 30, 1)}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

}  // namespace
