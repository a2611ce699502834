// Fuzzes ParseWorld, the one World.obj parser: it must never read outside the
// buffer, and what it accepts must be what the loader relies on.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "WorldFile.h"

namespace {

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "world_parser: %s\n", what);
  std::abort();
}

void CheckAccepted(const unsigned char* data, size_t size, const SWorldView& w) {
  if (w.iVertexCount < 0 || w.iTriangleCount < 0) Broken("negative count accepted");
  const uint64_t v = (uint64_t)w.iVertexCount, t = (uint64_t)w.iTriangleCount;
  if (w.qwUsedBytes != 12 + 12 * v + 24 * t + 8 * (uint64_t)w.dwNumTVerts)
    Broken("sections and size disagree");
  if (w.qwUsedBytes > size) Broken("sections run past the end");
  if (w.pVertices != data + 4 || w.pIndices != data + 8 + 12 * v) Broken("sections out of place");
  if (3 * t > 0x7fffffffu) Broken("index count does not fit a signed 32-bit count");
  // Every index names a vertex; reading each one touches the whole section.
  for (uint64_t k = 0; k < 3 * t; ++k)
    if (ReadWorldUint(w.pIndices + 4 * k) >= v) Broken("index past the vertices accepted");
  volatile float last = 0;
  for (uint64_t k = 0; k < 3 * v; ++k) last = ReadWorldFloat(w.pVertices + 4 * k);
  for (uint64_t k = 0; k < 2 * (uint64_t)w.dwNumTVerts; ++k) last = ReadWorldFloat(w.pTVertices + 4 * k);
  for (uint64_t k = 0; k < 3 * t; ++k) last = (float)ReadWorldUint(w.pTTriangles + 4 * k);
  (void)last;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  // A copy of exactly `size` bytes, so any read past the end is caught.
  std::vector<unsigned char> copy(data, data + size);
  SWorldView w;
  std::memset(&w, 0xA5, sizeof w);
  std::string error;
  if (ParseWorld(copy.data(), copy.size(), w, error)) {
    if (!error.empty()) Broken("accepted with an error");
    CheckAccepted(copy.data(), copy.size(), w);
  } else {
    if (error.rfind("Error: World.obj: ", 0) != 0) Broken("refusal without its line");
    if (error.find('\n') != std::string::npos) Broken("refusal line holds a newline");
  }
  return 0;
}
