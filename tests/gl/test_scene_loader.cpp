// Scene loading in a real OpenGL context: what a load prints and leaves, the
// made-up texture coordinates, and how missing or refused files leave a
// renderer that draws nothing and ignores the light keys.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <memory>

#include "BmpFile.h"
#include "CpGl.h"
#include "GlWindow.h"
#include "KeepAlive.h"
#include "TestSupport.h"

namespace {

using Bytes = std::vector<unsigned char>;

// V = 3: (0,0,0), (1,0,0), (0,1,0); T = 1: 0 1 2; M = 0; 72 bytes.
Bytes OneTriangle() { return MakeWorld({0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}); }

// 1024 x 1024, 24 bits: uploaded as it lies.
const Bytes& Tex2() {
  static const Bytes bytes = [] {
    SPicture p{1024, 1024, {}};
    p.pixels.reserve(1024 * 1024);
    for (int row = 0; row < 1024; ++row)
      for (int x = 0; x < 1024; ++x)
        p.pixels.push_back(Rgb{(unsigned char)x, (unsigned char)(row * 3), (unsigned char)(x / 4 + 7)});
    return MakeBmp(p, 24);
  }();
  return bytes;
}

// What a load prints, from its first line to the end of the compilation.
std::string LoadSection(const std::string& output) {
  size_t begin = output.find("loading objects\n");
  if (begin == std::string::npos) return "";
  const std::string last = "Objects Compiled\n";
  size_t end = output.find(last, begin);
  return end == std::string::npos ? output.substr(begin) : output.substr(begin, end + last.size() - begin);
}

class AssetsLoader : public testing::Test {
 protected:
  void Construct() {
    OpenGlWindow();
    // Errors left by an earlier test in this process belong to that test.
    while (glGetError() != GL_NO_ERROR) continue;
    output = CaptureOutput([&] { renderer.reset(new CCpGl); });
  }

  // A second load on the same renderer, for its result and its lines alone.
  int LoadAgain(std::string* lines) {
    // The program loads once; the arrays a second load replaces stay alive,
    // as the first load's would in the program.
    KeepUntilExit(renderer->pTextureArray);
    KeepUntilExit(renderer->pGraphicObjectArray);
    if (renderer->iGraphicObjectCount > 0) KeepUntilExit(renderer->pGraphicObjectArray[0].pIndexArray);
    KeepUntilExit(renderer->pVertexArray);
    KeepUntilExit(renderer->pNormalArray);
    KeepUntilExit(renderer->pTexCordArray);
    KeepUntilExit(renderer->pLightObjectArray);
    int result = -1;
    *lines = CaptureOutput([&] { result = renderer->LoadObjects(); });
    return result;
  }

  ScratchDir dir;
  KeptPtr<CCpGl> renderer;
  std::string output;
};

TEST_F(AssetsLoader, OneTriangleFilePrintsItsCountsAndCompiles) {
  dir.Write("World.obj", OneTriangle());
  dir.Write("tex2.bmp", Tex2());
  Construct();
  const std::string extension = GLEW_ARB_fragment_program ? "GLEW_ARB_fragment_program suported\n" : "";
  EXPECT_EQ(LoadSection(output),
            "loading objects\n"
            "image loaded\n"
            "Vertex Count: 3\n"
            "Index Count: 3\n"
            "\n" +
                extension +
                "no error\n"
                "objects loaded\n"
                "Compiling Objects\n"
                "no error\n"
                "no error\n"
                "no error\n"
                "Objects Compiled\n");
  EXPECT_EQ(output.find("Init: CpGl\nloading objects\n"), 0u);
}

TEST_F(AssetsLoader, LeavesOneObjectOneDefaultLightAndBothTextures) {
  dir.Write("World.obj", OneTriangle());
  dir.Write("tex2.bmp", Tex2());
  Construct();

  ASSERT_EQ(renderer->iGraphicObjectCount, 1);
  const SGraphicObject& object = renderer->pGraphicObjectArray[0];
  EXPECT_EQ(object.Texture, 1u);
  EXPECT_EQ(object.iIndexCount, 3);
  EXPECT_EQ(object.x, 0.0f);
  EXPECT_EQ(object.y, 0.0f);
  EXPECT_EQ(object.z, 0.0f);
  EXPECT_EQ(renderer->lVertexCount, 3);
  EXPECT_EQ(renderer->lTexCordCount, 3);

  ASSERT_EQ(renderer->iLightCount, 1);
  const SLightObject& light = renderer->pLightObjectArray[0];
  EXPECT_EQ(light.x, -60.0f);
  EXPECT_EQ(light.y, 310.0f);
  EXPECT_EQ(light.z, 200.0f);
  EXPECT_EQ(light.ax, 40.0f);
  EXPECT_EQ(light.ay, 230.0f);
  EXPECT_EQ(light.near, 0.1f);
  EXPECT_EQ(light.far, 1000.0f);
  EXPECT_EQ(light.width, 0.2f);
  EXPECT_EQ(light.height, 0.2f);
  EXPECT_EQ(light.resWidth, 1024u);
  EXPECT_EQ(light.resHeight, 1024u);

  for (int i = 0; i < 3; ++i) EXPECT_TRUE(glIsBuffer(renderer->vbos[i])) << i;
  EXPECT_NE(renderer->vbos[0], renderer->vbos[1]);
  EXPECT_NE(renderer->vbos[1], renderer->vbos[2]);
  EXPECT_NE(renderer->vbos[0], renderer->vbos[2]);

  ASSERT_EQ(renderer->iTextureCount, 2u);
  ASSERT_NE(renderer->pTextureArray, nullptr);
  const GLuint target = renderer->pTextureArray[0];
  const GLuint image = renderer->pTextureArray[1];
  EXPECT_TRUE(glIsTexture(target));
  EXPECT_TRUE(glIsTexture(image));
  EXPECT_NE(target, image);
  int w = 0, h = 0;
  ReadTexture(target, &w, &h);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 1024);
  // tex2.bmp's top row is the image texture's row 0.
  std::vector<unsigned char> texels = ReadTexture(image, &w, &h);
  ASSERT_EQ(w, 1024);
  ASSERT_EQ(h, 1024);
  for (int x : {0, 1, 200, 1023}) {
    EXPECT_EQ(texels[4 * x], (unsigned char)x) << x;
    EXPECT_EQ(texels[4 * x + 1], 0) << x;
    EXPECT_EQ(texels[4 * x + 2], (unsigned char)(x / 4 + 7)) << x;
  }
  EXPECT_EQ(texels[4 * 1024 * 5 + 1], 15);  // row 5
}

// Vertex j gets (j mod 2, j mod 3), whatever the file's texture section
// says; corner k gets the coordinate of the vertex its index named.
TEST_F(AssetsLoader, TextureCoordinatesComeFromVertexPositions) {
  std::vector<float> vertices;
  for (int j = 0; j < 7; ++j) vertices.insert(vertices.end(), {std::cos(j * 0.8f), std::sin(j * 0.8f), 0.0f});
  const std::vector<uint32_t> indices = {5, 6, 0, 3, 1, 2, 4, 6, 5};
  Bytes world = MakeWorld(vertices, indices, {0.25f, 0.75f, 9, 9, -3, 0.5f});
  world.insert(world.end(), {0xde, 0xad, 0xbe, 0xef, 1, 2, 3});  // ignored
  dir.Write("World.obj", world);
  Construct();
  EXPECT_NE(output.find("Vertex Count: 7\nIndex Count: 9\n\n"), std::string::npos) << output;

  ASSERT_EQ(renderer->lTexCordCount, 9);
  std::vector<float> uploaded(18, -1.0f);
  glBindBuffer(GL_ARRAY_BUFFER, renderer->vbos[1]);
  glGetBufferSubData(GL_ARRAY_BUFFER, 0, 18 * sizeof(float), uploaded.data());
  for (size_t k = 0; k < indices.size(); ++k) {
    const float u = (float)(indices[k] % 2), v = (float)(indices[k] % 3);
    EXPECT_EQ(renderer->pTexCordArray[k].u, u) << k;
    EXPECT_EQ(renderer->pTexCordArray[k].v, v) << k;
    EXPECT_EQ(uploaded[2 * k], u) << k;
    EXPECT_EQ(uploaded[2 * k + 1], v) << k;
  }
}

TEST_F(AssetsLoader, MissingImageLeavesEntryOneZeroAndLoadsTheScene) {
  dir.Write("World.obj", OneTriangle());
  Construct();
  EXPECT_EQ(LoadSection(output).rfind("loading objects\nFailed to load image\nVertex Count: 3\n", 0), 0u)
      << output;
  ASSERT_EQ(renderer->iTextureCount, 2u);
  EXPECT_TRUE(glIsTexture(renderer->pTextureArray[0]));
  EXPECT_EQ(renderer->pTextureArray[1], 0u);
  EXPECT_EQ(renderer->iGraphicObjectCount, 1);
  EXPECT_EQ(renderer->iLightCount, 1);
}

// No scene: the counts stay 0, so a frame clears and draws nothing, and the
// light keys have no light to move.
void ExpectEmptySceneIsHarmless(CCpGl& renderer) {
  EXPECT_EQ(renderer.iGraphicObjectCount, 0);
  EXPECT_EQ(renderer.iLightCount, 0);
  EXPECT_EQ(renderer.lVertexCount, 0);
  EXPECT_EQ(renderer.lTexCordCount, 0);
  EXPECT_EQ(renderer.pGraphicObjectArray, nullptr);
  EXPECT_EQ(renderer.pLightObjectArray, nullptr);
  EXPECT_EQ(renderer.pVertexArray, nullptr);
  EXPECT_EQ(renderer.pTexCordArray, nullptr);
  EXPECT_EQ(renderer.pNormalArray, nullptr);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(renderer.vbos[i], 0u) << "no buffer names are generated";
  ASSERT_EQ(renderer.iTextureCount, 2u);
  EXPECT_TRUE(glIsTexture(renderer.pTextureArray[0]));

  glClearColor(1, 1, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glClearColor(0, 0, 0, 0);
  std::string drawn = CaptureOutput([&] {
    renderer.AddToLightPos(10, 20, 30);
    renderer.AddToLightAngle(5, 5);
    renderer.Draw();
  });
  EXPECT_EQ(drawn, "");
  EXPECT_EQ(renderer.iLightCount, 0);
  // Cleared to 0, 0, 0, 0; a window without alpha bits reads alpha as 1.
  GLint alphaBits = 0;
  glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
  const unsigned char clearAlpha = alphaBits > 0 ? 0 : 255;
  std::vector<unsigned char> pixels = ReadWindowPixels();
  size_t notCleared = 0;
  for (size_t i = 0; i < pixels.size(); i += 4)
    notCleared += pixels[i] != 0 || pixels[i + 1] != 0 || pixels[i + 2] != 0 || pixels[i + 3] != clearAlpha;
  EXPECT_EQ(notCleared, 0u) << "pixels not cleared to 0, 0, 0, 0";
}

TEST_F(AssetsLoader, MissingWorldFileLeavesNoSceneAndReturnsZero) {
  Construct();
  EXPECT_NE(output.find("loading objects\nFailed to load image\nFailed to open file\nno error\n"),
            std::string::npos)
      << output;
  EXPECT_EQ(output.find("Compiling Objects"), std::string::npos);
  ExpectEmptySceneIsHarmless(*renderer);

  std::string lines;
  EXPECT_EQ(LoadAgain(&lines), 0);
  EXPECT_EQ(lines, "loading objects\nFailed to load image\nFailed to open file\n");
  EXPECT_EQ(renderer->iTextureCount, 2u);
  EXPECT_TRUE(glIsTexture(renderer->pTextureArray[0]));
  EXPECT_EQ(renderer->pTextureArray[1], 0u);
  EXPECT_EQ(renderer->iGraphicObjectCount, 0);
}

struct RefusedCase {
  const char* name;
  bool folder;  // World.obj is a folder rather than a file
  Bytes file;
  const char* line;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

Bytes Cut(Bytes b, size_t size) {
  b.resize(size);
  return b;
}

Bytes SetU32(Bytes b, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) b[offset + i] = (unsigned char)(value >> (8 * i));
  return b;
}

class AssetsLoaderRefusal : public AssetsLoader, public testing::WithParamInterface<RefusedCase> {};

TEST_P(AssetsLoaderRefusal, PrintsOneLineAndLeavesNoScene) {
  const RefusedCase& c = GetParam();
  if (c.folder)
    ASSERT_EQ(mkdir("World.obj", 0755), 0);
  else
    dir.Write("World.obj", c.file);
  Construct();
  const std::string expected =
      std::string("loading objects\nFailed to load image\n") + c.line + "\nno error\n";
  EXPECT_NE(output.find(expected), std::string::npos) << output;
  EXPECT_EQ(output.find("Vertex Count"), std::string::npos);
  EXPECT_EQ(output.find("Compiling Objects"), std::string::npos);
  ExpectEmptySceneIsHarmless(*renderer);

  std::string lines;
  EXPECT_EQ(LoadAgain(&lines), 0);
  EXPECT_EQ(lines, std::string("loading objects\nFailed to load image\n") + c.line + "\n");
  EXPECT_EQ(renderer->iGraphicObjectCount, 0);
  EXPECT_EQ(renderer->vbos[0], 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AssetsLoaderRefusal,
    testing::Values(
        RefusedCase{
            "empty_file",
            false,
            {},
            "Error: World.obj: vertex count is cut short at byte 0: it needs 4 bytes, the file has 0 left"},
        RefusedCase{
            "indices_cut", false, Cut(OneTriangle(), 50),
            "Error: World.obj: index section is cut short at byte 44: it needs 12 bytes, the file has 6 "
            "left"},
        RefusedCase{
            "texture_triangles_cut", false, Cut(OneTriangle(), 71),
            "Error: World.obj: texture-triangle section is cut short at byte 60: it needs 12 bytes, the "
            "file has 11 left"},
        RefusedCase{"negative_vertex_count", false, SetU32(OneTriangle(), 0, 0xffffffffu),
                    "Error: World.obj: vertex count at byte 0 is negative (-1)"},
        RefusedCase{"negative_triangle_count", false, SetU32(OneTriangle(), 40, 0xfffffffeu),
                    "Error: World.obj: triangle count at byte 40 is negative (-2)"},
        RefusedCase{
            "index_equal_to_vertex_count", false, SetU32(OneTriangle(), 48, 3),
            "Error: World.obj: the index at byte 48 (triangle 0, corner 1) names vertex 3, but there are "
            "only 3 vertices"},
        // Allocating by this count would ask for 24 GiB before reading anything.
        RefusedCase{
            "huge_vertex_count_in_four_bytes", false, Cut(SetU32(OneTriangle(), 0, 0x7fffffffu), 4),
            "Error: World.obj: vertex section is cut short at byte 4: it needs 25769803764 bytes, the file "
            "has 0 left"},
        RefusedCase{
            "vertex_bytes_wrap_32_bits", false, SetU32(OneTriangle(), 0, 0x15555556u),
            "Error: World.obj: vertex section is cut short at byte 4: it needs 4294967304 bytes, the file "
            "has 68 left"},
        RefusedCase{
            "index_count_too_large", false, SetU32(OneTriangle(), 40, 0x7fffffffu),
            "Error: World.obj: triangle count at byte 40 is too large (2147483647 triangles make more "
            "than 2147483647 indices)"},
        RefusedCase{"folder", true, {}, "Error: World.obj: cannot be read: it is not a regular file"}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

}  // namespace
