// Parsing of World.obj, the viewer's binary scene file, held in memory.
// No OpenGL here: the loader, the converter, the tests and the fuzzer share it.
//
// Layout, every field 4 bytes little-endian:
//   int32 V, V x (float x, y, z), int32 T, 3T x uint32 vertex index,
//   uint32 M, M x (float u, v), T x (uint32 a, b, c) texture triangles.
// Bytes after the last section are ignored.
#ifndef VANTREL_WORLDFILE_H
#define VANTREL_WORLDFILE_H

#include <cstddef>
#include <cstdint>
#include <string>

// Views into the caller's buffer; valid while that buffer lives.
// Sections start at 4-byte offsets but the buffer may be unaligned: copy
// values out with memcpy (or ReadWorldFloat/ReadWorldUint) rather than casting.
struct SWorldView {
  int32_t iVertexCount;      // V
  int32_t iTriangleCount;    // T
  uint32_t dwNumTVerts;      // M
  const unsigned char* pVertices;          // V records of 12 bytes
  const unsigned char* pIndices;           // 3T indices of 4 bytes
  const unsigned char* pTVertices;         // M records of 8 bytes
  const unsigned char* pTTriangles;        // T records of 12 bytes
  uint64_t qwUsedBytes;      // bytes the sections cover; the rest is ignored
};

// Returns 1 and fills `out` when `data` holds a valid world file; otherwise
// returns 0 and sets `error` to one line (no newline) saying what is wrong
// and where. Counts are checked against the size before anything is read,
// so no count can make a caller allocate more than the file holds.
int ParseWorld(const unsigned char* data, size_t size, SWorldView& out, std::string& error);

uint32_t ReadWorldUint(const unsigned char* p);
float ReadWorldFloat(const unsigned char* p);

#endif
