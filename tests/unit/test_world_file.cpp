// World.obj parsing: the sections a valid file yields, and the one-line
// message that refuses each kind of damaged or hostile file.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "WorldFile.h"

namespace {

using Bytes = std::vector<unsigned char>;

// V = 3: (0,0,0), (1,0,0), (0,1,0); T = 1: indices 0 1 2; M = 0; one texture
// triangle of zeros. Sections: V at 0, vertices 4..39, T at 40, indices
// 44..55, M at 56, texture triangles 60..71.
Bytes OneTriangle() { return MakeWorld({0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}); }

// The same with M = 1 (texture vertex (0.5, 0.25) at 60..67), so that every
// section has bytes: texture triangles 68..79.
Bytes OneTriangleWithTextureVertex() {
  return MakeWorld({0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}, {0.5f, 0.25f});
}

Bytes Cut(Bytes b, size_t size) {
  b.resize(size);
  return b;
}

Bytes SetU32(Bytes b, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) b[offset + i] = (unsigned char)(value >> (8 * i));
  return b;
}

Bytes Appended(Bytes b, const Bytes& tail) {
  b.insert(b.end(), tail.begin(), tail.end());
  return b;
}

struct RefusalCase {
  const char* name;
  Bytes file;
  const char* message;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class WorldFileRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(WorldFileRefusal, RefusesWithOneLineSayingWhatAndWhere) {
  const RefusalCase& c = GetParam();
  SWorldView view = {};
  view.iVertexCount = 12345;  // untouched on refusal
  std::string error;
  EXPECT_EQ(ParseWorld(c.file.data(), c.file.size(), view, error), 0);
  EXPECT_EQ(error, c.message);
  EXPECT_EQ(view.iVertexCount, 12345);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WorldFileRefusal,
    testing::Values(
        RefusalCase{
            "empty_file",
            {},
            "Error: World.obj: vertex count is cut short at byte 0: it needs 4 bytes, the file has 0 left"},
        RefusalCase{
            "vertex_count_cut", Cut(OneTriangle(), 3),
            "Error: World.obj: vertex count is cut short at byte 0: it needs 4 bytes, the file has 3 left"},
        RefusalCase{
            "vertices_cut", Cut(OneTriangle(), 39),
            "Error: World.obj: vertex section is cut short at byte 4: it needs 36 bytes, the file has "
            "35 left"},
        RefusalCase{
            "triangle_count_cut", Cut(OneTriangle(), 42),
            "Error: World.obj: triangle count is cut short at byte 40: it needs 4 bytes, the file has 2 "
            "left"},
        RefusalCase{
            "indices_cut", Cut(OneTriangle(), 55),
            "Error: World.obj: index section is cut short at byte 44: it needs 12 bytes, the file has 11 "
            "left"},
        RefusalCase{
            "texture_vertex_count_cut", Cut(OneTriangle(), 56),
            "Error: World.obj: texture-vertex count is cut short at byte 56: it needs 4 bytes, the file "
            "has 0 left"},
        RefusalCase{"texture_vertices_cut", Cut(OneTriangleWithTextureVertex(), 64),
                    "Error: World.obj: texture-vertex section is cut short at byte 60: it needs 8 bytes, the "
                    "file has 4 left"},
        RefusalCase{
            "texture_triangles_cut", Cut(OneTriangle(), 71),
            "Error: World.obj: texture-triangle section is cut short at byte 60: it needs 12 bytes, the "
            "file has 11 left"},
        RefusalCase{
            "texture_triangles_cut_after_texture_vertices", Cut(OneTriangleWithTextureVertex(), 75),
            "Error: World.obj: texture-triangle section is cut short at byte 68: it needs 12 bytes, the "
            "file has 7 left"},
        RefusalCase{"negative_vertex_count", SetU32(OneTriangle(), 0, 0xffffffffu),
                    "Error: World.obj: vertex count at byte 0 is negative (-1)"},
        RefusalCase{"most_negative_vertex_count", SetU32(OneTriangle(), 0, 0x80000000u),
                    "Error: World.obj: vertex count at byte 0 is negative (-2147483648)"},
        RefusalCase{"negative_triangle_count", SetU32(OneTriangle(), 40, 0xfffffffbu),
                    "Error: World.obj: triangle count at byte 40 is negative (-5)"},
        RefusalCase{
            "index_equal_to_vertex_count", SetU32(OneTriangle(), 52, 3),
            "Error: World.obj: the index at byte 52 (triangle 0, corner 2) names vertex 3, but there are "
            "only 3 vertices"},
        RefusalCase{
            "index_all_ones", SetU32(OneTriangle(), 44, 0xffffffffu),
            "Error: World.obj: the index at byte 44 (triangle 0, corner 0) names vertex 4294967295, but "
            "there are only 3 vertices"},
        RefusalCase{
            "index_into_no_vertices", MakeWorld({}, {0, 0, 0}),
            "Error: World.obj: the index at byte 8 (triangle 0, corner 0) names vertex 0, but there are "
            "only 0 vertices"},
        RefusalCase{
            "bad_index_in_second_triangle", MakeWorld({0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2, 2, 1, 7}),
            "Error: World.obj: the index at byte 64 (triangle 1, corner 2) names vertex 7, but there are "
            "only 3 vertices"},
        // 12 x 0x15555556 is 2^32 + 8: in 32 bits the vertex section would be 8 bytes long.
        RefusalCase{
            "vertex_bytes_wrap_32_bits", SetU32(OneTriangle(), 0, 0x15555556u),
            "Error: World.obj: vertex section is cut short at byte 4: it needs 4294967304 bytes, the file "
            "has 68 left"},
        RefusalCase{
            "largest_vertex_count", SetU32(OneTriangle(), 0, 0x7fffffffu),
            "Error: World.obj: vertex section is cut short at byte 4: it needs 25769803764 bytes, the "
            "file has 68 left"},
        // The parser hands out views and never allocates, so this costs nothing.
        RefusalCase{
            "largest_vertex_count_in_four_bytes", Cut(SetU32(OneTriangle(), 0, 0x7fffffffu), 4),
            "Error: World.obj: vertex section is cut short at byte 4: it needs 25769803764 bytes, the "
            "file has 0 left"},
        // 3 x 4 x 0x15555556 wraps to 8 as well.
        RefusalCase{
            "index_bytes_wrap_32_bits", SetU32(OneTriangle(), 40, 0x15555556u),
            "Error: World.obj: index section is cut short at byte 44: it needs 4294967304 bytes, the file "
            "has 28 left"},
        RefusalCase{"index_count_beyond_signed_32_bits", SetU32(OneTriangle(), 40, 0x2aaaaaabu),
                    "Error: World.obj: triangle count at byte 40 is too large (715827883 triangles make more "
                    "than 2147483647 indices)"},
        RefusalCase{
            "largest_triangle_count", SetU32(OneTriangle(), 40, 0x7fffffffu),
            "Error: World.obj: triangle count at byte 40 is too large (2147483647 triangles make more "
            "than 2147483647 indices)"},
        // 8 x 0x20000001 is 2^32 + 8.
        RefusalCase{
            "texture_vertex_bytes_wrap_32_bits", SetU32(OneTriangle(), 56, 0x20000001u),
            "Error: World.obj: texture-vertex section is cut short at byte 60: it needs 4294967304 bytes, "
            "the file has 12 left"},
        RefusalCase{"largest_texture_vertex_count", SetU32(OneTriangle(), 56, 0xffffffffu),
                    "Error: World.obj: texture-vertex section is cut short at byte 60: it needs 34359738360 "
                    "bytes, the file has 12 left"}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST(WorldFileRefusal, EveryShorterPrefixOfAValidFileIsRefused) {
  const Bytes whole = OneTriangleWithTextureVertex();
  for (size_t size = 0; size < whole.size(); ++size) {
    SWorldView view;
    std::string error;
    EXPECT_EQ(ParseWorld(whole.data(), size, view, error), 0) << size;
    EXPECT_EQ(error.rfind("Error: World.obj: ", 0), 0u) << size;
    EXPECT_NE(error.find(" is cut short at byte "), std::string::npos) << size << ": " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << size;
  }
}

float Float(const unsigned char* p, size_t record, int field, size_t recordSize) {
  return ReadWorldFloat(p + record * recordSize + 4 * field);
}

TEST(WorldFileParse, OneTriangleFileOf72Bytes) {
  const Bytes file = OneTriangle();
  ASSERT_EQ(file.size(), 72u);
  SWorldView view;
  std::string error = "untouched";
  ASSERT_EQ(ParseWorld(file.data(), file.size(), view, error), 1);
  EXPECT_EQ(error, "untouched");
  EXPECT_EQ(view.iVertexCount, 3);
  EXPECT_EQ(view.iTriangleCount, 1);
  EXPECT_EQ(view.dwNumTVerts, 0u);
  EXPECT_EQ(view.pVertices, file.data() + 4);
  EXPECT_EQ(view.pIndices, file.data() + 44);
  EXPECT_EQ(view.pTVertices, file.data() + 60);
  EXPECT_EQ(view.pTTriangles, file.data() + 60);
  EXPECT_EQ(view.qwUsedBytes, 72u);
  const float expected[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  for (int v = 0; v < 3; ++v)
    for (int f = 0; f < 3; ++f) EXPECT_EQ(Float(view.pVertices, v, f, 12), expected[v][f]) << v << "," << f;
  for (int k = 0; k < 3; ++k) EXPECT_EQ(ReadWorldUint(view.pIndices + 4 * k), (uint32_t)k);
}

struct AcceptCase {
  const char* name;
  Bytes file;
  int32_t vertices;
  int32_t triangles;
  uint32_t textureVertices;
  uint64_t usedBytes;
};

void PrintTo(const AcceptCase& c, std::ostream* os) { *os << c.name; }

class WorldFileAccept : public testing::TestWithParam<AcceptCase> {};

// Each section starts where the previous one ends, whatever the counts.
TEST_P(WorldFileAccept, SectionsFollowOneAnother) {
  const AcceptCase& c = GetParam();
  SWorldView view;
  std::string error;
  ASSERT_EQ(ParseWorld(c.file.data(), c.file.size(), view, error), 1) << error;
  EXPECT_EQ(view.iVertexCount, c.vertices);
  EXPECT_EQ(view.iTriangleCount, c.triangles);
  EXPECT_EQ(view.dwNumTVerts, c.textureVertices);
  const unsigned char* base = c.file.data();
  EXPECT_EQ(view.pVertices, base + 4);
  EXPECT_EQ(view.pIndices, base + 8 + 12 * c.vertices);
  EXPECT_EQ(view.pTVertices, base + 12 + 12 * c.vertices + 12 * c.triangles);
  EXPECT_EQ(view.pTTriangles, base + 12 + 12 * c.vertices + 12 * c.triangles + 8 * c.textureVertices);
  EXPECT_EQ(view.qwUsedBytes, c.usedBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WorldFileAccept,
    testing::Values(
        AcceptCase{"one_triangle", OneTriangle(), 3, 1, 0, 72},
        AcceptCase{"trailing_bytes_ignored", Appended(OneTriangle(), {1, 2, 3, 4, 5}), 3, 1, 0, 72},
        // The trailing bytes could be read as more texture triangles; they are not.
        AcceptCase{"trailing_record_ignored", Appended(OneTriangle(), Bytes(12, 0xff)), 3, 1, 0, 72},
        AcceptCase{"empty_mesh", MakeWorld({}, {}), 0, 0, 0, 12},
        AcceptCase{"vertices_without_triangles", MakeWorld({1, 2, 3, 4, 5, 6}, {}), 2, 0, 0, 36},
        AcceptCase{"texture_vertices",
                   MakeWorld({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, {0, 1, 2, 2, 1, 3}, {0, 0, 1, 0, 0, 1}), 4,
                   2, 3, 12 + 48 + 48 + 24},
        AcceptCase{"largest_index_is_last_vertex", MakeWorld({0, 0, 0, 1, 0, 0, 0, 1, 0}, {2, 2, 2}), 3, 1, 0,
                   72}),
    [](const testing::TestParamInfo<AcceptCase>& info) { return std::string(info.param.name); });

TEST(WorldFileParse, ReadsLittleEndianWhateverTheAlignment) {
  Bytes shifted(1, 0);
  const Bytes file = MakeWorld({1.5f, -2.0f, 3.25f}, {0, 0, 0});
  shifted.insert(shifted.end(), file.begin(), file.end());
  SWorldView view;
  std::string error;
  ASSERT_EQ(ParseWorld(shifted.data() + 1, file.size(), view, error), 1) << error;
  EXPECT_EQ(Float(view.pVertices, 0, 0, 12), 1.5f);
  EXPECT_EQ(Float(view.pVertices, 0, 1, 12), -2.0f);
  EXPECT_EQ(Float(view.pVertices, 0, 2, 12), 3.25f);
  const unsigned char bytes[4] = {0x78, 0x56, 0x34, 0x12};
  EXPECT_EQ(ReadWorldUint(bytes), 0x12345678u);
}

}  // namespace
