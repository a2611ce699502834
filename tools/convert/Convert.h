// vantrel-convert's library: model import, placement, the World.obj writer,
// the world-file report and the texture converter. main.cpp is the command
// line around it; the tests call these functions directly.
//
// Every function returns 1 on success and 0 on failure, with `error` set to
// one line (no newline) saying what went wrong.
#ifndef VANTREL_CONVERT_H
#define VANTREL_CONVERT_H

#include <cstdint>
#include <string>
#include <vector>

// The mesh as World.obj holds it: one indexed triangle list in world space.
struct SWorldMesh {
  std::vector<float> vVertices;    // x, y, z per vertex
  std::vector<uint32_t> vIndices;  // three per triangle, counter-clockwise front faces
  std::vector<float> vTexCoords;   // u, v per vertex, or empty when the model has none
};

struct SBounds {
  float fMin[3];
  float fMax[3];
};

// World.obj stores V and T as signed 32-bit counts, and the viewer needs 3T to
// fit too: returns 0 (and says why) for counts beyond that.
int CheckWorldCounts(uint64_t vertexCount, uint64_t triangleCount, std::string& error);

// Reads any model the Assimp library reads, flattens its node hierarchy into
// world space, triangulates and joins identical vertices. Every mesh of the
// model goes into `mesh`; the texture coordinates come from UV channel 0.
int ImportModel(const std::string& path, SWorldMesh& mesh, std::string& error);

// The file extensions ImportModel accepts, as "*.obj;*.ply;...".
std::string SupportedModelExtensions();

struct SPlacement {
  bool bFit = false;                         // stand the model in the default light's view first
  float fScale = 1.0f;                       // then scale it (about the fitted base when fitting)
  float fTranslate[3] = {0.0f, 0.0f, 0.0f};  // then move it
  bool bFlipWinding = false;                 // the model's front faces are clockwise
};

// Where --fit puts a model: its base centre on the ground, its largest side.
struct SFitTarget {
  float fBase[3];
  float fSize;
};
SFitTarget DefaultFitTarget();

int ComputeBounds(const SWorldMesh& mesh, SBounds& bounds);
int ApplyPlacement(const SPlacement& placement, SWorldMesh& mesh, std::string& error);

// The whole file in one buffer: counts, vertices, indices, texture section.
std::vector<unsigned char> EncodeWorld(const SWorldMesh& mesh);

// Writes `bytes` to a temporary file beside `path` and renames it over
// `path`, so a failure never leaves a partly written file at `path`.
int WriteFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error);

int WriteWorldFile(const std::string& path, const SWorldMesh& mesh, std::string& error);

int ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& error);

// What --info prints about a world file, checked with the viewer's parser.
struct SWorldInfo {
  uint64_t qwFileSize;
  uint64_t qwUsedBytes;
  int32_t iVertexCount;
  int32_t iTriangleCount;
  uint32_t dwTexVertexCount;
  bool bHasBounds;  // false when there are no vertices
  SBounds sBounds;
  uint64_t qwDegenerateCount;  // triangles of zero area (repeated or collinear corners)
};

int ReadWorldInfo(const std::string& path, SWorldInfo& info, std::string& error);
std::string FormatWorldInfo(const std::string& path, const SWorldInfo& info);

// The viewer's tex2.bmp: 1024 x 1024, 24 bits per pixel.
const int kTextureSize = 1024;

// Reads a PNG, JPEG, TGA or BMP (anything the stb image reader reads) and
// writes it, scaled to 1024 x 1024, as a 24-bit BMP.
int ConvertTexture(const std::string& input, const std::string& output, std::string& error);

#endif
