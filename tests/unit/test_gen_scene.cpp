// Scene generator: the sample scene and benchmark scenes load in the viewer's
// parser, suit its flat shading and made-up texture coordinates, put objects
// where the light and the camera look, and data/ matches its generator.
#include <gtest/gtest.h>

// The generator is built with the tools (VANTREL_TOOLS).
#if __has_include("SceneGen.h")

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "SceneGen.h"
#include "TestSupport.h"
#include "WorldFile.h"

namespace {

struct SVec {
  double x, y, z;
};
SVec operator-(SVec a, SVec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
SVec operator+(SVec a, SVec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
SVec operator*(SVec a, double f) { return {a.x * f, a.y * f, a.z * f}; }
SVec Cross(SVec a, SVec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(SVec a, SVec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Length(SVec a) { return std::sqrt(Dot(a, a)); }

SVec Corner(const SMesh& mesh, size_t triangle, int c) {
  const float* p = &mesh.vPositions[3 * mesh.vIndices[3 * triangle + c]];
  return {p[0], p[1], p[2]};
}

// The face normal the viewer computes: (p1 - p0) x (p2 - p1), normalised.
SVec FaceNormal(const SMesh& mesh, size_t t) {
  SVec p0 = Corner(mesh, t, 0), p1 = Corner(mesh, t, 1), p2 = Corner(mesh, t, 2);
  SVec n = Cross(p1 - p0, p2 - p1);
  return n * (1.0 / Length(n));
}

// Distance along the ray to the triangle, or -1 when the ray misses it.
double RayHit(SVec origin, SVec dir, SVec a, SVec b, SVec c) {
  SVec e1 = b - a, e2 = c - a, p = Cross(dir, e2);
  double det = Dot(e1, p);
  if (std::fabs(det) < 1e-12) return -1;
  SVec s = origin - a;
  double u = Dot(s, p) / det;
  SVec q = Cross(s, e1);
  double v = Dot(dir, q) / det;
  if (u < 0 || v < 0 || u + v > 1) return -1;
  double t = Dot(e2, q) / det;
  return t > 1e-9 ? t : -1;
}

std::vector<unsigned char> WorldBytes(const SMesh& mesh) {
  std::vector<unsigned char> bytes;
  EXPECT_TRUE(WriteWorld(mesh, [&](const void* data, size_t size) {
    const unsigned char* p = (const unsigned char*)data;
    bytes.insert(bytes.end(), p, p + size);
    return true;
  }));
  return bytes;
}

// Parses `bytes` as the viewer does and returns the mesh it holds.
SMesh ParseBack(const std::vector<unsigned char>& bytes) {
  SWorldView w;
  std::string error;
  SMesh mesh;
  EXPECT_EQ(1, ParseWorld(bytes.data(), bytes.size(), w, error)) << error;
  if (!error.empty()) return mesh;
  EXPECT_EQ(bytes.size(), w.qwUsedBytes);
  EXPECT_EQ(0u, w.dwNumTVerts);
  for (size_t i = 0; i < (size_t)w.iTriangleCount * 12; ++i) {
    if (w.pTTriangles[i] != 0) {
      ADD_FAILURE() << "texture triangle byte " << i << " is not zero";
      break;
    }
  }
  mesh.vPositions.resize((size_t)w.iVertexCount * 3);
  for (size_t i = 0; i < mesh.vPositions.size(); ++i)
    mesh.vPositions[i] = ReadWorldFloat(w.pVertices + 4 * i);
  mesh.vIndices.resize((size_t)w.iTriangleCount * 3);
  for (size_t i = 0; i < mesh.vIndices.size(); ++i) mesh.vIndices[i] = ReadWorldUint(w.pIndices + 4 * i);
  return mesh;
}

// Every triangle has a proper normal (no collapsed or sliver triangle), and
// the coordinates the viewer gives vertex j, (j mod 2, j mod 3), cover half
// a texture tile, unmirrored when the triangle is seen from the front.
void ExpectTrianglesSoundForTheViewer(const SMesh& mesh) {
  int bad = 0;
  for (size_t t = 0; t < mesh.TriangleCount() && bad < 5; ++t) {
    SVec p0 = Corner(mesh, t, 0), p1 = Corner(mesh, t, 1), p2 = Corner(mesh, t, 2);
    double area = Length(Cross(p1 - p0, p2 - p1)), edges = Length(p1 - p0) * Length(p2 - p1);
    uint32_t j[3] = {mesh.vIndices[3 * t], mesh.vIndices[3 * t + 1], mesh.vIndices[3 * t + 2]};
    int du1 = (int)(j[1] % 2) - (int)(j[0] % 2), dv1 = (int)(j[1] % 3) - (int)(j[0] % 3);
    int du2 = (int)(j[2] % 2) - (int)(j[0] % 2), dv2 = (int)(j[2] % 3) - (int)(j[0] % 3);
    int uvTwiceArea = du1 * dv2 - du2 * dv1;
    if (!(area > 1e-4 * edges) || uvTwiceArea != 1) {
      ADD_FAILURE() << "triangle " << t << ": area " << area << " for edges " << edges
                    << ", twice its texture area " << uvTwiceArea;
      ++bad;
    }
  }
}

// Each solid is closed with its faces outwards: a point just behind any face
// is inside the solid (a ray from it crosses the surface an odd number of times).
void ExpectSolidsFaceOutwards(const std::vector<SSceneObject>& objects) {
  const SVec dir = SVec{0.3017, 0.8121, 0.4996} * (1.0 / Length({0.3017, 0.8121, 0.4996}));
  for (const SSceneObject& object : objects) {
    if (!object.bSolid) continue;
    const SMesh& mesh = object.sMesh;
    int bad = 0;
    for (size_t t = 0; t < mesh.TriangleCount() && bad < 3; ++t) {
      SVec centre = (Corner(mesh, t, 0) + Corner(mesh, t, 1) + Corner(mesh, t, 2)) * (1.0 / 3.0);
      SVec behind = centre - FaceNormal(mesh, t) * 0.01;
      int crossings = 0;
      for (size_t k = 0; k < mesh.TriangleCount(); ++k)
        if (RayHit(behind, dir, Corner(mesh, k, 0), Corner(mesh, k, 1), Corner(mesh, k, 2)) > 0) ++crossings;
      if (crossings % 2 != 1) {
        ADD_FAILURE() << object.sName << ": triangle " << t << " faces inwards or the solid is open";
        ++bad;
      }
    }
  }
}

const SSceneObject* FindGround(const std::vector<SSceneObject>& objects) {
  for (const SSceneObject& object : objects)
    if (!object.bSolid) return &object;
  return nullptr;
}

SVec BoundsCentre(const SBounds& b) {
  return {0.5 * (b.dMin[0] + b.dMax[0]), 0.5 * (b.dMin[1] + b.dMax[1]), 0.5 * (b.dMin[2] + b.dMax[2])};
}

TEST(GenSceneSample, ParsesAndEveryTriangleSuitsTheViewer) {
  SMesh mesh = ParseBack(WorldBytes(MergeScene(BuildSampleScene())));
  EXPECT_GE(mesh.TriangleCount(), 5000u);
  EXPECT_LE(mesh.TriangleCount(), 40000u) << "the sample is meant to load at once";
  ExpectTrianglesSoundForTheViewer(mesh);

  // Straight below the starting camera lies the ground, a little under it, facing up.
  double nearest = 1e30;
  SVec normal = {0, 0, 0};
  for (size_t t = 0; t < mesh.TriangleCount(); ++t) {
    double d = RayHit({0, 0, 0}, {0, -1, 0}, Corner(mesh, t, 0), Corner(mesh, t, 1), Corner(mesh, t, 2));
    if (d > 0 && d < nearest) {
      nearest = d;
      normal = FaceNormal(mesh, t);
    }
  }
  EXPECT_GE(nearest, 1.0);
  EXPECT_LE(nearest, 20.0);
  EXPECT_GT(normal.y, 0.999);
}

TEST(GenSceneSample, SolidsAreClosedAndGroundFacesUp) {
  std::vector<SSceneObject> scene = BuildSampleScene();
  ExpectSolidsFaceOutwards(scene);
  const SSceneObject* ground = FindGround(scene);
  ASSERT_NE(nullptr, ground);
  for (size_t t = 0; t < ground->sMesh.TriangleCount(); ++t)
    ASSERT_GT(FaceNormal(ground->sMesh, t).y, 0.999) << "ground triangle " << t;
}

TEST(GenSceneSample, ObjectsStandOnTheGroundWhereTheLightAndTheCameraLook) {
  std::vector<SSceneObject> scene = BuildSampleScene();
  const SSceneObject* ground = FindGround(scene);
  ASSERT_NE(nullptr, ground);
  SBounds floor = MeshBounds(ground->sMesh);
  int solids = 0, lit = 0, ahead = 0;
  for (const SSceneObject& object : scene) {
    if (!object.bSolid) continue;
    ++solids;
    SBounds b = MeshBounds(object.sMesh);
    EXPECT_GE(b.dMin[1], floor.dMax[1] - 1e-4) << object.sName << " sinks into the ground";
    EXPECT_TRUE(b.dMin[0] >= floor.dMin[0] && b.dMax[0] <= floor.dMax[0] && b.dMin[2] >= floor.dMin[2] &&
                b.dMax[2] <= floor.dMax[2])
        << object.sName << " is off the ground";
    SVec c = BoundsCentre(b);
    if (InDefaultLightView(c.x, c.y, c.z)) ++lit;
    if (InStartView(c.x, c.y, c.z)) ++ahead;
  }
  EXPECT_GE(solids, 24);
  EXPECT_GE(lit, 15) << "too few objects throw shadows";
  EXPECT_GE(ahead, 10) << "too few objects in the first picture";
}

// The two frustums follow the viewer's conventions: view = Rx(pitch) Ry(yaw)
// translate(-eye), 45 degrees to each side, depth from 0.1 to 1000.
TEST(GenSceneSample, FrustumsFollowTheViewerConventions) {
  struct SCase {
    const char* name;
    bool light;
    SVec p;
    bool inside;
  };
  // The light's axis: (cos 40 sin 230, -sin 40, -cos 40 cos 230).
  const SVec axis = {-0.5868241, -0.6427876, 0.4924039}, light = {-60, 310, 200};
  const SCase cases[] = {
      {"ground where the light's axis meets it", true, light + axis * (320 / 0.6427876), true},
      {"999 units along the light's axis", true, light + axis * 999.0, true},
      {"past the light's far plane", true, light + axis * 1001.0, false},
      {"behind the light", true, light - axis * 10.0, false},
      {"ground right below the light", true, {-60, -10, 200}, false},
      {"ground below the starting camera", true, {0, -10, 0}, false},
      {"straight ahead of the camera", false, {0, 0, -1}, true},
      {"behind the camera", false, {0, 0, 1}, false},
      {"right edge inside", false, {0.99, 0, -1}, true},
      {"right of the right edge", false, {1.01, 0, -1}, false},
      {"ground 11 units ahead", false, {0, -10, -11}, true},
      {"ground 9 units ahead", false, {0, -10, -9}, false},
  };
  for (const SCase& c : cases) {
    bool inside = c.light ? InDefaultLightView(c.p.x, c.p.y, c.p.z) : InStartView(c.p.x, c.p.y, c.p.z);
    EXPECT_EQ(c.inside, inside) << c.name;
  }
}

class GenSceneBenchmark : public testing::TestWithParam<uint32_t> {};

TEST_P(GenSceneBenchmark, HasAboutTheTrianglesAskedForAndParses) {
  uint32_t asked = GetParam();
  std::vector<SSceneObject> scene = BuildBenchmarkScene(asked, 1);
  SMesh mesh = ParseBack(WorldBytes(MergeScene(scene)));
  EXPECT_GE(mesh.TriangleCount(), asked * 0.85);
  EXPECT_LE(mesh.TriangleCount(), asked * 1.15);
  ExpectTrianglesSoundForTheViewer(mesh);

  int solids = 0, seen = 0;
  for (const SSceneObject& object : scene) {
    if (!object.bSolid) continue;
    ++solids;
    SVec c = BoundsCentre(MeshBounds(object.sMesh));
    if (InDefaultLightView(c.x, c.y, c.z) || InStartView(c.x, c.y, c.z)) ++seen;
  }
  EXPECT_GE(solids, 8);
  EXPECT_GE(seen, solids * 9 / 10) << "objects should stand where they are seen";
}

INSTANTIATE_TEST_SUITE_P(Sizes, GenSceneBenchmark, testing::Values(10000u, 250000u, 2000000u));

TEST(GenSceneBenchmarkScene, SolidsAreClosedAndTheSeedDecides) {
  std::vector<SSceneObject> scene = BuildBenchmarkScene(10000, 1);
  ExpectSolidsFaceOutwards(scene);
  std::vector<unsigned char> first = WorldBytes(MergeScene(scene));
  EXPECT_EQ(first, WorldBytes(MergeScene(BuildBenchmarkScene(10000, 1))));
  EXPECT_NE(first, WorldBytes(MergeScene(BuildBenchmarkScene(10000, 2))));
}

TEST(GenScenePly, HeaderCountsAndRecordsMatchTheMesh) {
  SMesh mesh = MergeScene(BuildBenchmarkScene(10000, 1));
  std::string ply;
  ASSERT_TRUE(WritePly(mesh, [&](const void* data, size_t size) {
    ply.append((const char*)data, size);
    return true;
  }));
  std::string header =
      "ply\nformat binary_little_endian 1.0\ncomment written by vantrel-gen-scene\n"
      "element vertex " +
      std::to_string(mesh.VertexCount()) +
      "\nproperty float x\nproperty float y\nproperty float z\n"
      "element face " +
      std::to_string(mesh.TriangleCount()) + "\nproperty list uchar int vertex_indices\nend_header\n";
  ASSERT_EQ(header, ply.substr(0, header.size()));
  ASSERT_EQ(header.size() + 12 * (size_t)mesh.VertexCount() + 13 * (size_t)mesh.TriangleCount(), ply.size());

  // The vertex block is the World.obj vertex section; faces are (3, a, b, c).
  std::vector<unsigned char> world = WorldBytes(mesh);
  EXPECT_EQ(0, std::memcmp(ply.data() + header.size(), world.data() + 4, 12 * (size_t)mesh.VertexCount()));
  const unsigned char* faces =
      (const unsigned char*)ply.data() + header.size() + 12 * (size_t)mesh.VertexCount();
  for (size_t t : {(size_t)0, (size_t)mesh.TriangleCount() - 1}) {
    EXPECT_EQ(3, faces[13 * t]);
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(mesh.vIndices[3 * t + c], ReadWorldUint(faces + 13 * t + 1 + 4 * c));
  }
}

// data/ is what the generator makes: the mesh up to float rounding of the
// trigonometry (a maths library may round a last bit differently), the
// texture byte for byte (made with integers only).
TEST(GenSceneData, CommittedFilesMatchTheGenerator) {
  std::string file = ReadFileBytes(SourcePath("data/World.obj"));
  SMesh committed = ParseBack(std::vector<unsigned char>(file.begin(), file.end()));
  SMesh generated = MergeScene(BuildSampleScene());
  ASSERT_EQ(generated.vIndices, committed.vIndices) << "regenerate data/World.obj with vantrel-gen-scene";
  ASSERT_EQ(generated.vPositions.size(), committed.vPositions.size());
  for (size_t i = 0; i < generated.vPositions.size(); ++i)
    ASSERT_NEAR(generated.vPositions[i], committed.vPositions[i], 1e-3) << "coordinate " << i;

  std::string bmp = ReadFileBytes(SourcePath("data/tex2.bmp"));
  std::vector<unsigned char> texture = MakeTileTexture();
  ASSERT_EQ(std::string(texture.begin(), texture.end()), bmp)
      << "regenerate data/tex2.bmp with vantrel-gen-scene";
}

TEST(GenSceneTexture, IsAPlainLightTwentyFourBitBmp) {
  std::vector<unsigned char> bmp = MakeTileTexture();
  ASSERT_EQ(54u + 1024 * 1024 * 3, bmp.size());
  const unsigned char* h = bmp.data();
  EXPECT_EQ('B', h[0]);
  EXPECT_EQ('M', h[1]);
  EXPECT_EQ(bmp.size(), ReadWorldUint(h + 2));
  EXPECT_EQ(54u, ReadWorldUint(h + 10));
  EXPECT_EQ(40u, ReadWorldUint(h + 14));
  EXPECT_EQ(1024u, ReadWorldUint(h + 18));
  EXPECT_EQ(1024u, ReadWorldUint(h + 22));
  EXPECT_EQ(24, h[28] | (h[29] << 8));
  EXPECT_EQ(0u, ReadWorldUint(h + 30)) << "compressed";

  // Light enough and nearly grey, so that shadows read on it, yet not flat.
  double sum = 0, spread = 0, lo = 255, hi = 0;
  for (size_t i = 54; i < bmp.size(); i += 3) {
    int b = bmp[i], g = bmp[i + 1], r = bmp[i + 2];
    double luma = 0.299 * r + 0.587 * g + 0.114 * b;
    sum += luma;
    spread += std::max({r, g, b}) - std::min({r, g, b});
    lo = std::min(lo, luma);
    hi = std::max(hi, luma);
  }
  double pixels = 1024.0 * 1024.0;
  EXPECT_GT(sum / pixels, 140.0);
  EXPECT_LT(sum / pixels, 230.0);
  EXPECT_LT(spread / pixels, 40.0);
  EXPECT_GT(hi - lo, 50.0) << "no visible pattern";
}

struct SOptionCase {
  const char* name;
  std::vector<const char*> args;
  bool ok;
  const char* errorMentions;  // when !ok
};

class GenSceneOptions : public testing::TestWithParam<SOptionCase> {};

TEST_P(GenSceneOptions, AcceptsOrExplains) {
  const SOptionCase& c = GetParam();
  std::vector<const char*> argv = {"vantrel-gen-scene"};
  argv.insert(argv.end(), c.args.begin(), c.args.end());
  SGenOptions options;
  options.sWorldPath = "untouched";
  std::string error;
  int result = ParseGenOptions((int)argv.size(), argv.data(), options, error);
  EXPECT_EQ(c.ok ? 1 : 0, result) << error;
  if (!c.ok) {
    EXPECT_NE(std::string::npos, error.find(c.errorMentions)) << error;
    EXPECT_EQ("untouched", options.sWorldPath) << "a refused command line changes nothing";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, GenSceneOptions,
    testing::Values(SOptionCase{"none", {}, true, ""}, SOptionCase{"help", {"--help"}, true, ""},
                    SOptionCase{"all",
                                {"--triangles", "20000000", "--seed", "18446744073709551615", "--world", "a",
                                 "--texture", "b", "--ply", "c", "--list"},
                                true,
                                ""},
                    SOptionCase{"unknown", {"--bogus"}, false, "--bogus"},
                    SOptionCase{"missing value", {"--triangles"}, false, "--triangles"},
                    SOptionCase{"empty path", {"--world", ""}, false, "--world"},
                    SOptionCase{"too few", {"--triangles", "999"}, false, "--triangles"},
                    SOptionCase{"too many", {"--triangles", "20000001"}, false, "--triangles"},
                    SOptionCase{"not a number", {"--triangles", "12x"}, false, "12x"},
                    SOptionCase{"negative", {"--triangles", "-5"}, false, "-5"},
                    SOptionCase{"seed overflow",
                                {"--triangles", "5000", "--seed", "18446744073709551616"},
                                false,
                                "--seed"},
                    SOptionCase{"seed alone", {"--seed", "3"}, false, "--triangles"}),
    [](const testing::TestParamInfo<SOptionCase>& info) {
      std::string name = info.param.name;
      for (char& ch : name)
        if (!isalnum((unsigned char)ch)) ch = '_';
      return name;
    });

#ifdef VANTREL_GEN_SCENE_BIN
// The program as a user runs it: exit status, what it says on which stream,
// and the files it leaves.
TEST(GenSceneCommand, WritesTheFilesOrExplainsOnStandardError) {
  struct SRun {
    const char* args;
    int status;
    const char* outMentions;
    const char* errMentions;
  };
  const SRun runs[] = {
      {"--triangles 1000 --ply m.ply", 0, "triangles", ""},
      {"--help", 0, "Usage: vantrel-gen-scene", ""},
      {"--triangles 5", 1, "", "vantrel-gen-scene: --triangles"},
      {"--frobnicate", 1, "", "unknown option '--frobnicate'"},
      {"--world no/such/folder/World.obj", 1, "", "cannot create no/such/folder/World.obj"},
  };
  for (const SRun& run : runs) {
    ScratchDir dir;
    std::string command = std::string(VANTREL_GEN_SCENE_BIN) + " " + run.args + " >out.txt 2>err.txt";
    int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw)) << run.args;
    EXPECT_EQ(run.status, WEXITSTATUS(raw)) << run.args;
    std::string out = dir.Read("out.txt"), err = dir.Read("err.txt");
    EXPECT_NE(std::string::npos, out.find(run.outMentions)) << run.args << ": " << out;
    if (*run.errMentions)
      EXPECT_NE(std::string::npos, err.find(run.errMentions)) << run.args << ": " << err;
    else
      EXPECT_EQ("", err) << run.args;
    if (run.status != 0 || std::string(run.args) == "--help") {
      EXPECT_EQ("", dir.Read("World.obj")) << run.args << " wrote a world";
      continue;
    }
    std::string world = dir.Read("World.obj");
    SMesh mesh = ParseBack(std::vector<unsigned char>(world.begin(), world.end()));
    EXPECT_GE(mesh.TriangleCount(), 850u);
    EXPECT_EQ(MakeTileTexture().size(), dir.Read("tex2.bmp").size());
    EXPECT_EQ(0u, dir.Read("m.ply").find("ply\nformat binary_little_endian 1.0\n"));
  }
}
#endif

}  // namespace

#endif
