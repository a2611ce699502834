// Fuzzes vantrel-convert's World.obj writer and --info on what it wrote: a
// mesh made from the input is written with WriteWorldFile, then read back
// with ReadWorldInfo (the viewer's parser) and described with
// FormatWorldInfo. Every mesh the importer can make must come back whole:
// the same counts, the same bytes, no bytes left over.
//
// Input: a vertex count, a triangle count and a flag byte, then the bytes of
// the vertices, texture coordinates and indices (zeros once the input ends;
// indices are taken modulo the vertex count, as the importer's always name
// a vertex).
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Convert.h"
#include "WorldFile.h"

namespace {

[[noreturn]] void Broken(const std::string& what) {
  std::fprintf(stderr, "convert_world: %s\n", what.c_str());
  std::abort();
}

// Hands out the input's bytes in order, then zeros.
class SInput {
 public:
  SInput(const unsigned char* data, size_t size) : pData(data), qwSize(size), qwPos(0) {}
  unsigned char Byte() { return qwPos < qwSize ? pData[qwPos++] : 0; }
  uint32_t Word() {
    uint32_t w = 0;
    for (int i = 0; i < 4; ++i) w |= (uint32_t)Byte() << (8 * i);
    return w;
  }
  float Float() {
    uint32_t w = Word();
    float f;
    std::memcpy(&f, &w, 4);
    return f;
  }

 private:
  const unsigned char* pData;
  size_t qwSize;
  size_t qwPos;
};

SWorldMesh MakeMesh(SInput& in) {
  const uint32_t vertices = in.Byte() % 64, triangles = in.Byte() % 64;
  const bool texCoords = in.Byte() & 1;
  SWorldMesh mesh;
  for (uint32_t k = 0; k < 3 * vertices; ++k) mesh.vVertices.push_back(in.Float());
  if (texCoords)
    for (uint32_t k = 0; k < 2 * vertices; ++k) mesh.vTexCoords.push_back(in.Float());
  if (vertices > 0)
    for (uint32_t k = 0; k < 3 * triangles; ++k) mesh.vIndices.push_back(in.Word() % vertices);
  return mesh;
}

std::string gDir;

void RemoveDir() {
  unlink((gDir + "/World.obj").c_str());
  rmdir(gDir.c_str());
}

// In memory where /dev/shm is there: every write ends with an fsync.
std::string TempPath() {
  if (gDir.empty()) {
    std::string pattern =
        std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/convert_world-XXXXXX";
    if (!mkdtemp(&pattern[0])) Broken("no temporary folder");
    gDir = pattern;
    std::atexit(RemoveDir);
  }
  return gDir + "/World.obj";
}

void ExpectLine(const std::string& text, const std::string& line) {
  if (text.find(line + "\n") == std::string::npos) Broken("--info lacks \"" + line + "\":\n" + text);
}

template <class T>
bool SameBytes(const unsigned char* at, const std::vector<T>& values) {
  return values.empty() || std::memcmp(at, values.data(), sizeof(T) * values.size()) == 0;
}

void CheckBytes(const std::vector<unsigned char>& bytes, const SWorldMesh& mesh) {
  SWorldView w;
  std::string error;
  if (!ParseWorld(bytes.data(), bytes.size(), w, error)) Broken("the viewer refuses the encoding: " + error);
  if (w.qwUsedBytes != bytes.size()) Broken("the encoding has bytes the viewer does not read");
  if (!SameBytes(w.pVertices, mesh.vVertices)) Broken("vertices changed");
  if (!SameBytes(w.pIndices, mesh.vIndices)) Broken("indices changed");
  if (!SameBytes(w.pTVertices, mesh.vTexCoords)) Broken("texture coordinates changed");
}

void CheckInfo(const std::string& path, const SWorldMesh& mesh, uint64_t fileSize) {
  SWorldInfo info;
  std::string error;
  if (!ReadWorldInfo(path, info, error)) Broken("--info refuses the file: " + error);
  const int32_t v = (int32_t)(mesh.vVertices.size() / 3), t = (int32_t)(mesh.vIndices.size() / 3);
  if (info.iVertexCount != v || info.iTriangleCount != t ||
      info.dwTexVertexCount != mesh.vTexCoords.size() / 2 || info.qwFileSize != fileSize ||
      info.qwUsedBytes != fileSize || info.bHasBounds != (v > 0) || info.qwDegenerateCount > (uint64_t)t)
    Broken("--info counts differ from the mesh");
  const std::string text = FormatWorldInfo(path, info);
  ExpectLine(text, "vertices: " + std::to_string(v));
  ExpectLine(text, "triangles: " + std::to_string(t));
  ExpectLine(text, "indices: " + std::to_string(3 * t));
  ExpectLine(text, "file size: " + std::to_string(fileSize) + " bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  SInput in(data, size);
  const SWorldMesh mesh = MakeMesh(in);
  const std::vector<unsigned char> bytes = EncodeWorld(mesh);
  CheckBytes(bytes, mesh);

  const std::string path = TempPath();
  std::string error;
  if (!WriteWorldFile(path, mesh, error)) Broken("cannot write: " + error);
  std::vector<unsigned char> written;
  if (!ReadWholeFile(path, written, error)) Broken("cannot read back: " + error);
  if (written != bytes) Broken("the file differs from the encoding");
  CheckInfo(path, mesh, written.size());
  return 0;
}
