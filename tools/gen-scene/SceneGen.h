// Scene generator for the viewer: the sample scene, benchmark scenes of a
// chosen size, and the files they are written to (World.obj, a PLY copy of
// the mesh, and the surface texture tex2.bmp).
//
// World units: the ground lies at y = -10, 10 units below the starting
// camera; the camera flies 5 units per frame and the default light hangs at
// (-60, 310, 200).
#ifndef VANTREL_SCENEGEN_H
#define VANTREL_SCENEGEN_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

const double kGroundY = -10.0;

// A triangle mesh: x, y, z per vertex and three vertex indices per triangle,
// counter-clockwise seen from the front.
struct SMesh {
  std::vector<float> vPositions;
  std::vector<uint32_t> vIndices;

  uint32_t VertexCount() const { return (uint32_t)(vPositions.size() / 3); }
  uint32_t TriangleCount() const { return (uint32_t)(vIndices.size() / 3); }
};

// One object of a scene. Solids are closed; the ground is an open sheet.
struct SSceneObject {
  std::string sName;
  bool bSolid;
  SMesh sMesh;
};

std::vector<SSceneObject> BuildSampleScene();

// About `triangles` triangles: a ground grid and spheres and boxes, standing
// and floating, scattered where the default light or the starting camera
// looks. The same arguments give the same scene.
std::vector<SSceneObject> BuildBenchmarkScene(uint32_t triangles, uint64_t seed);

// One mesh for the file: the ground first, then the solids from the farthest
// to the nearest to the default light, so that a light pass drawn without a
// depth buffer still ends with the nearest surface on top.
SMesh MergeScene(const std::vector<SSceneObject>& objects);

// Where the default light and the starting camera look (their frustums).
bool InDefaultLightView(double x, double y, double z);
bool InStartView(double x, double y, double z);

struct SBounds {
  double dMin[3];
  double dMax[3];
};
SBounds MeshBounds(const SMesh& mesh);

// Receives the bytes of a file in large pieces; returns false on a failed write.
using ByteSink = std::function<bool(const void* data, size_t size)>;

// World.obj: the mesh, no texture vertices, and one all-zero texture
// triangle per triangle (the viewer reads and ignores both).
bool WriteWorld(const SMesh& mesh, const ByteSink& sink);
// Binary little-endian PLY: float x y z per vertex, uchar-int lists of faces.
bool WritePly(const SMesh& mesh, const ByteSink& sink);
// tex2.bmp: 1024 x 1024, 24-bit uncompressed, light stone tiles (4 x 4 per
// texture repeat) that tile seamlessly.
std::vector<unsigned char> MakeTileTexture();

// Opens `path`, hands `write` a sink into it and closes it. Returns 1, or 0
// with `error` set to one line saying what failed.
int WriteFileWith(const std::string& path, const std::function<bool(const ByteSink&)>& write,
                  std::string& error);

// Command line of vantrel-gen-scene.
struct SGenOptions {
  uint32_t dwTriangles = 0;  // 0: the sample scene
  uint64_t qwSeed = 1;
  std::string sWorldPath = "World.obj";
  std::string sTexturePath = "tex2.bmp";
  std::string sPlyPath;  // empty: no PLY
  bool bList = false;
  bool bHelp = false;
};

const uint32_t kMinTriangles = 1000;
const uint32_t kMaxTriangles = 20000000;

// Returns 1, or 0 with `error` set to one line for the user.
int ParseGenOptions(int argc, const char* const* argv, SGenOptions& options, std::string& error);
const char* GenUsage();

#endif
