// The converter's model path: import through Assimp, placement, and the
// World.obj writer, checked by reading its output with the viewer's parser.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "Convert.h"
#include "ConvertFixtures.h"

namespace {

using namespace convert_test;

SParsedWorld ConvertAndParse(const std::string& modelPath, const SPlacement& placement = SPlacement()) {
  SWorldMesh mesh;
  std::string error;
  SParsedWorld parsed;
  EXPECT_EQ(ImportModel(modelPath, mesh, error), 1) << error;
  EXPECT_EQ(ApplyPlacement(placement, mesh, error), 1) << error;
  EXPECT_EQ(WriteWorldFile("World.obj", mesh, error), 1) << error;
  EXPECT_TRUE(ParseWorldBytes(ReadFileBytes("World.obj"), parsed));
  return parsed;
}

void ExpectBounds(const SParsedWorld& w, Vec3 lo, Vec3 hi, double tolerance = 1e-4) {
  ASSERT_FALSE(w.vertices.empty());
  Vec3 gotLo, gotHi;
  WorldBounds(w, gotLo, gotHi);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(gotLo[k], lo[k], tolerance) << "min of axis " << k;
    EXPECT_NEAR(gotHi[k], hi[k], tolerance) << "max of axis " << k;
  }
}

// Every vertex of `w` is one of `expected`, and every expected point is there.
void ExpectSameCorners(const SParsedWorld& w, const std::vector<Vec3>& expected) {
  auto near = [](Vec3 a, Vec3 b) {
    return std::fabs(a[0] - b[0]) < 1e-4 && std::fabs(a[1] - b[1]) < 1e-4 && std::fabs(a[2] - b[2]) < 1e-4;
  };
  for (const Vec3& v : w.vertices) {
    bool known = false;
    for (const Vec3& e : expected) known = known || near(v, e);
    EXPECT_TRUE(known) << "unexpected vertex (" << v[0] << ", " << v[1] << ", " << v[2] << ")";
  }
  for (const Vec3& e : expected) {
    bool found = false;
    for (const Vec3& v : w.vertices) found = found || near(v, e);
    EXPECT_TRUE(found) << "missing corner (" << e[0] << ", " << e[1] << ", " << e[2] << ")";
  }
}

std::function<Vec3(Vec3)> CentreAt(Vec3 c) {
  return [c](Vec3) { return c; };
}

// A box whose sides differ, off the origin, so that swapped or dropped axes show.
const Vec3 kLo = {-1, 2, -3};
const Vec3 kHi = {4, 5, 6};

struct SFormatCase {
  const char* name;
  const char* file;
  std::string (*write)(const SBoxModel&);
};

class ConvertFormatTest : public testing::TestWithParam<SFormatCase> {};

TEST_P(ConvertFormatTest, BoxRoundTripsWithSharedCornersAndOutwardWinding) {
  ScratchDir dir;
  const SFormatCase& c = GetParam();
  dir.Write(c.file, c.write(Box(kLo, kHi)));
  SParsedWorld w = ConvertAndParse(c.file);
  // Corners that STL repeats per triangle, or that differ only in normals,
  // are joined: the box has its 8 corners and 12 triangles.
  EXPECT_EQ(w.vertices.size(), 8u);
  EXPECT_EQ(w.triangles.size(), 12u);
  ExpectBounds(w, kLo, kHi);
  EXPECT_TRUE(WindingPointsOutward(w, CentreAt({1.5, 3.5, 1.5})));
  // No UVs in the model: an empty texture-vertex section.
  EXPECT_TRUE(w.texVertices.empty());
}

std::string BoxWithCornersPerFace(const SBoxModel& m) {
  // Every triangle names corners of its own, as many exporters write them.
  std::string s;
  for (const auto& t : m.triangles)
    for (uint32_t i : t)
      s += "v " + Num(m.corners[i][0]) + " " + Num(m.corners[i][1]) + " " + Num(m.corners[i][2]) + "\n";
  for (size_t t = 0; t < m.triangles.size(); ++t)
    s += "f " + std::to_string(3 * t + 1) + " " + std::to_string(3 * t + 2) + " " +
         std::to_string(3 * t + 3) + "\n";
  return s;
}

std::string BoxAsQuadObj(const SBoxModel& m) {
  // Quads, triangulated by the importer.
  std::string s;
  for (const Vec3& c : m.corners) s += "v " + Num(c[0]) + " " + Num(c[1]) + " " + Num(c[2]) + "\n";
  for (size_t t = 0; t < m.triangles.size(); t += 2)
    s += "f " + std::to_string(m.triangles[t][0] + 1) + " " + std::to_string(m.triangles[t][1] + 1) + " " +
         std::to_string(m.triangles[t][2] + 1) + " " + std::to_string(m.triangles[t + 1][2] + 1) + "\n";
  return s;
}

INSTANTIATE_TEST_SUITE_P(Formats, ConvertFormatTest,
                         testing::Values(SFormatCase{"Obj", "box.obj", BoxAsObj},
                                         SFormatCase{"ObjQuads", "box.obj", BoxAsQuadObj},
                                         SFormatCase{"ObjCornersPerFace", "box.obj", BoxWithCornersPerFace},
                                         SFormatCase{"BinaryStl", "box.stl", BoxAsBinaryStl},
                                         SFormatCase{"AsciiPly", "box.ply", BoxAsAsciiPly}),
                         [](const testing::TestParamInfo<SFormatCase>& i) {
                           return std::string(i.param.name);
                         });

SGltfNode Node(Vec3 t, std::array<double, 4> r, Vec3 s, int mesh, std::vector<int> children = {}) {
  return SGltfNode{t, r, s, mesh, children};
}

const std::array<double, 4> kNoTurn = {0, 0, 0, 1};

TEST(ConvertHierarchy, ChildMeshIsPlacedByItsParentsAndItsOwnTransform) {
  ScratchDir dir;
  // The parent stands at x = 10 with a unit cube; its child is moved up 5,
  // turned 90 degrees about y and scaled (1, 2, 3) before the turn.
  const double h = std::sqrt(0.5);
  SBoxModel cube = Box({-1, -1, -1}, {1, 1, 1});
  dir.Write("two.gltf", BoxesAsGltf({cube, cube}, {Node({10, 0, 0}, kNoTurn, {1, 1, 1}, 0, {1}),
                                                   Node({0, 5, 0}, {0, h, 0, h}, {1, 2, 3}, 1)}));
  SParsedWorld w = ConvertAndParse("two.gltf");
  EXPECT_EQ(w.triangles.size(), 24u);
  EXPECT_EQ(w.vertices.size(), 16u);
  // Scaled, the child is 2 x 4 x 6; the turn swaps its x and z extents.
  std::vector<Vec3> expected;
  for (const Vec3& c : Box({9, -1, -1}, {11, 1, 1}).corners) expected.push_back(c);
  for (const Vec3& c : Box({7, 3, -1}, {13, 7, 1}).corners) expected.push_back(c);
  ExpectSameCorners(w, expected);
  EXPECT_TRUE(WindingPointsOutward(w, [](Vec3 p) { return p[1] > 2 ? Vec3{10, 5, 0} : Vec3{10, 0, 0}; }));
}

TEST(ConvertHierarchy, MirroringNodeKeepsFrontFacesOutward) {
  ScratchDir dir;
  // A negative scale turns the winding clockwise in world space; the
  // converter must swap it back, or the viewer culls the outside.
  dir.Write("mirror.gltf",
            BoxesAsGltf({Box({1, 0, 0}, {2, 1, 1})}, {Node({0, 0, 0}, kNoTurn, {-1, 1, 1}, 0)}));
  SParsedWorld w = ConvertAndParse("mirror.gltf");
  ExpectBounds(w, {-2, 0, 0}, {-1, 1, 1});
  EXPECT_TRUE(WindingPointsOutward(w, CentreAt({-1.5, 0.5, 0.5})));
}

TEST(ConvertTexCoords, FirstUvChannelFollowsItsVerticesAndMissingOnesAreZero) {
  ScratchDir dir;
  // A textured quad whose UVs equal its x and y, and an untextured triangle.
  dir.Write("uv.obj",
            "o quad\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
            "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nf 1/1 2/2 3/3 4/4\n"
            "o plain\nv 5 0 0\nv 6 0 0\nv 5 1 0\nf 5 6 7\n");
  SParsedWorld w = ConvertAndParse("uv.obj");
  ASSERT_EQ(w.vertices.size(), 7u);
  ASSERT_EQ(w.triangles.size(), 3u);
  ASSERT_EQ(w.texVertices.size(), w.vertices.size());
  EXPECT_EQ(w.texTriangles, w.triangles);
  for (size_t i = 0; i < w.vertices.size(); ++i) {
    const bool plain = w.vertices[i][0] >= 5;
    EXPECT_FLOAT_EQ(w.texVertices[i][0], plain ? 0.0f : (float)w.vertices[i][0]) << "vertex " << i;
    EXPECT_FLOAT_EQ(w.texVertices[i][1], plain ? 0.0f : (float)w.vertices[i][1]) << "vertex " << i;
  }
}

TEST(ConvertPlacement, ScaleThenTranslateAndFlippedWinding) {
  ScratchDir dir;
  dir.Write("box.obj", BoxAsObj(Box(kLo, kHi)));
  SParsedWorld plain = ConvertAndParse("box.obj");
  SPlacement p;
  p.fScale = 2;
  p.fTranslate[0] = 100;
  p.fTranslate[1] = -7;
  p.fTranslate[2] = 0.5f;
  p.bFlipWinding = true;
  SParsedWorld moved = ConvertAndParse("box.obj", p);
  ExpectBounds(moved, {98, -3, -5.5}, {108, 3, 12.5});
  ASSERT_EQ(moved.triangles.size(), plain.triangles.size());
  for (size_t t = 0; t < plain.triangles.size(); ++t) {
    const auto& a = plain.triangles[t];
    const auto& b = moved.triangles[t];
    EXPECT_EQ(b, (std::array<uint32_t, 3>{a[0], a[2], a[1]})) << "triangle " << t;
  }
}

// The default light as the viewer sets it, in its own view space:
// Rx(40) Ry(230) (p - light).
Vec3 InLightView(Vec3 p) {
  const double a = 40 * M_PI / 180, b = 230 * M_PI / 180;
  Vec3 d = Sub(p, {-60, 310, 200});
  double x = std::cos(b) * d[0] + std::sin(b) * d[2];
  double z = -std::sin(b) * d[0] + std::cos(b) * d[2];
  return {x, std::cos(a) * d[1] - std::sin(a) * z, std::sin(a) * d[1] + std::cos(a) * z};
}

struct SFitCase {
  const char* name;
  Vec3 lo, hi;
};

class ConvertFitTest : public testing::TestWithParam<SFitCase> {};

TEST_P(ConvertFitTest, StandsOnTheGroundInsideTheLightsView) {
  ScratchDir dir;
  dir.Write("model.obj", BoxAsObj(Box(GetParam().lo, GetParam().hi)));
  SPlacement fit;
  fit.bFit = true;
  SParsedWorld w = ConvertAndParse("model.obj", fit);
  Vec3 lo, hi;
  WorldBounds(w, lo, hi);
  // On the sample scene's ground, a little below the eye at y = 0.
  EXPECT_NEAR(lo[1], -10, 1e-3);
  // Its base is centred on the fit spot, and its largest side is 60 units.
  EXPECT_NEAR((lo[0] + hi[0]) / 2, -170, 1e-3);
  EXPECT_NEAR((lo[2] + hi[2]) / 2, 300, 1e-3);
  EXPECT_NEAR(std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]}), 60, 1e-3);
  EXPECT_TRUE(
      WindingPointsOutward(w, CentreAt({(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2})));
  // Every corner of the box is well inside the default light's frustum
  // (90 degrees: |x| and |y| below the depth), so the model casts its shadow.
  for (const Vec3& c : Box(lo, hi).corners) {
    Vec3 e = InLightView(c);
    const double depth = -e[2];
    EXPECT_GT(depth, 0.1);
    EXPECT_LT(depth, 1000);
    EXPECT_LT(std::fabs(e[0]), 0.8 * depth) << "corner " << c[0] << ", " << c[1] << ", " << c[2];
    EXPECT_LT(std::fabs(e[1]), 0.8 * depth) << "corner " << c[0] << ", " << c[1] << ", " << c[2];
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, ConvertFitTest,
                         testing::Values(SFitCase{"Tiny", {-0.01, -0.01, -0.01}, {0.01, 0.02, 0.01}},
                                         SFitCase{"HugeFlat", {-5000, 300, -8000}, {7000, 310, 9000}},
                                         SFitCase{"TallThin", {2, -50, 2}, {3, 50, 4}},
                                         SFitCase{"OffCentre", {100, 100, 100}, {140, 120, 110}}),
                         [](const testing::TestParamInfo<SFitCase>& i) { return std::string(i.param.name); });

TEST(ConvertFit, ScaleKeepsTheBaseAndTranslateMovesAfterwards) {
  ScratchDir dir;
  dir.Write("model.obj", BoxAsObj(Box({0, 0, 0}, {10, 5, 2})));
  SPlacement p;
  p.bFit = true;
  p.fScale = 0.5f;
  p.fTranslate[0] = 20;
  SParsedWorld w = ConvertAndParse("model.obj", p);
  // Fitted: 60 x 30 x 12 on the ground at (-170, 300); halved; moved 20 along x.
  ExpectBounds(w, {-150 - 15, -10, 300 - 3}, {-150 + 15, 5, 300 + 3}, 1e-3);
}

TEST(ConvertFit, MatchesTheSampleScenesGround) {
  const std::string sample = SourcePath("data/World.obj");
  SWorldInfo info;
  std::string error;
  if (ReadFileBytes(sample).empty()) GTEST_SKIP() << "no sample scene in data/";
  ASSERT_EQ(ReadWorldInfo(sample, info, error), 1) << error;
  EXPECT_FLOAT_EQ(info.sBounds.fMin[1], DefaultFitTarget().fBase[1]);
}

TEST(ConvertPlacementErrors, RefusesBadScalesAndModelsWithoutExtent) {
  SWorldMesh point;
  point.vVertices = {1, 1, 1, 1, 1, 1, 1, 1, 1};
  point.vIndices = {0, 1, 2};
  std::string error;
  SPlacement fit;
  fit.bFit = true;
  EXPECT_EQ(ApplyPlacement(fit, point, error), 0);
  EXPECT_NE(error.find("extent"), std::string::npos) << error;

  for (float scale : {0.0f, -1.0f, NAN, INFINITY}) {
    SWorldMesh mesh = point;
    SPlacement p;
    p.fScale = scale;
    error.clear();
    EXPECT_EQ(ApplyPlacement(p, mesh, error), 0) << scale;
    EXPECT_NE(error.find("scale"), std::string::npos) << error;
  }

  SWorldMesh far = point;
  SPlacement big;
  big.fScale = 1e38f;
  big.fTranslate[0] = 3e38f;
  EXPECT_EQ(ApplyPlacement(big, far, error), 0);
}

struct SCountCase {
  uint64_t vertices, triangles;
  int ok;
};

TEST(ConvertCounts, LimitsAreThoseOfThe32BitFields) {
  const SCountCase cases[] = {
      {0x7fffffffull, 715827882ull, 1},  // the largest V and T with 3T in a signed 32-bit count
      {0x80000000ull, 1, 0},             // V past the signed 32-bit range
      {8, 715827883ull, 0},              // 3T past it
      {1ull << 33, 1ull << 33, 0},
  };
  for (const SCountCase& c : cases) {
    std::string error;
    EXPECT_EQ(CheckWorldCounts(c.vertices, c.triangles, error), c.ok) << c.vertices << " " << c.triangles;
    if (!c.ok) {
      EXPECT_NE(error.find("too large"), std::string::npos) << error;
    }
  }
}

TEST(ConvertWriter, EncodesTheLayoutTheViewerReads) {
  // One triangle with UVs: three counts, 3 vertices, 3 indices, 3 UVs and one
  // texture triangle (at byte 84) that repeats the vertex triangle.
  SWorldMesh mesh;
  mesh.vVertices = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  mesh.vIndices = {0, 1, 2};
  mesh.vTexCoords = {0.25f, 0.5f, 1, 0, 0, 1};
  std::vector<unsigned char> bytes = EncodeWorld(mesh);
  std::vector<unsigned char> expected = MakeWorld(mesh.vVertices, mesh.vIndices, mesh.vTexCoords);
  // MakeWorld leaves the texture triangles zero: put the indices there.
  ASSERT_EQ(bytes.size(), 96u);
  ASSERT_EQ(expected.size(), bytes.size());
  for (int k = 0; k < 3; ++k) expected[84 + 4 * k] = (unsigned char)k;
  EXPECT_EQ(bytes, expected);
}

}  // namespace
