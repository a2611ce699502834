#include "WorldFile.h"

#include <cstring>

uint32_t ReadWorldUint(const unsigned char* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

float ReadWorldFloat(const unsigned char* p) {
  uint32_t bits = ReadWorldUint(p);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

namespace {

// Walks the buffer front to back; every take is checked against what remains.
class SectionReader {
 public:
  SectionReader(const unsigned char* data, size_t size) : pData(data), qwSize(size), qwPos(0) {}

  uint64_t Remaining() const { return qwSize - qwPos; }
  uint64_t Offset() const { return qwPos; }

  bool Take(uint64_t bytes, const unsigned char*& at) {
    if (bytes > Remaining()) return false;
    at = pData + qwPos;
    qwPos += bytes;
    return true;
  }

 private:
  const unsigned char* pData;
  uint64_t qwSize;
  uint64_t qwPos;
};

std::string Num(uint64_t v) { return std::to_string(v); }

const char* const kPrefix = "Error: World.obj: ";

std::string Short(const char* what, uint64_t need, const SectionReader& r) {
  return kPrefix + std::string(what) + " is cut short at byte " + Num(r.Offset()) + ": it needs " +
         Num(need) + " bytes, the file has " + Num(r.Remaining()) + " left";
}

bool TakeCount(SectionReader& r, const char* what, uint32_t& value, std::string& error) {
  const unsigned char* at = nullptr;
  if (!r.Take(4, at)) {
    error = Short(what, 4, r);
    return false;
  }
  value = ReadWorldUint(at);
  return true;
}

bool TakeSignedCount(SectionReader& r, const char* what, int32_t& value, std::string& error) {
  uint64_t at = r.Offset();
  uint32_t raw = 0;
  if (!TakeCount(r, what, raw, error)) return false;
  value = (int32_t)raw;
  if (value < 0) {
    error =
        kPrefix + std::string(what) + " at byte " + Num(at) + " is negative (" + std::to_string(value) + ")";
    return false;
  }
  return true;
}

bool TakeSection(SectionReader& r, const char* what, uint64_t count, uint64_t recordSize,
                 const unsigned char*& at, std::string& error) {
  uint64_t need = count * recordSize;  // count < 2^32 and recordSize <= 12: no overflow
  if (!r.Take(need, at)) {
    error = Short(what, need, r);
    return false;
  }
  return true;
}

bool CheckIndices(const SWorldView& w, uint64_t indexOffset, std::string& error) {
  uint64_t n = (uint64_t)w.iTriangleCount * 3;
  for (uint64_t k = 0; k < n; ++k) {
    uint32_t index = ReadWorldUint(w.pIndices + 4 * k);
    if (index >= (uint32_t)w.iVertexCount) {
      error = kPrefix + std::string("the index at byte ") + Num(indexOffset + 4 * k) + " (triangle " +
              Num(k / 3) + ", corner " + Num(k % 3) + ") names vertex " + Num(index) +
              ", but there are only " + Num((uint64_t)w.iVertexCount) + " vertices";
      return false;
    }
  }
  return true;
}

}  // namespace

int ParseWorld(const unsigned char* data, size_t size, SWorldView& out, std::string& error) {
  SWorldView w = {};
  SectionReader r(data, size);
  if (!TakeSignedCount(r, "vertex count", w.iVertexCount, error)) return 0;
  if (!TakeSection(r, "vertex section", (uint64_t)w.iVertexCount, 12, w.pVertices, error)) return 0;
  uint64_t triangleCountOffset = r.Offset();
  if (!TakeSignedCount(r, "triangle count", w.iTriangleCount, error)) return 0;
  // The index count is drawn as a signed 32-bit count.
  if ((uint64_t)w.iTriangleCount * 3 > 0x7fffffffu) {
    error = kPrefix + std::string("triangle count at byte ") + Num(triangleCountOffset) + " is too large (" +
            Num((uint64_t)w.iTriangleCount) + " triangles make more than 2147483647 indices)";
    return 0;
  }
  uint64_t indexOffset = r.Offset();
  if (!TakeSection(r, "index section", (uint64_t)w.iTriangleCount * 3, 4, w.pIndices, error)) return 0;
  if (!TakeCount(r, "texture-vertex count", w.dwNumTVerts, error)) return 0;
  if (!TakeSection(r, "texture-vertex section", w.dwNumTVerts, 8, w.pTVertices, error)) return 0;
  if (!TakeSection(r, "texture-triangle section", (uint64_t)w.iTriangleCount, 12, w.pTTriangles, error))
    return 0;
  if (!CheckIndices(w, indexOffset, error)) return 0;
  w.qwUsedBytes = r.Offset();
  out = w;
  return 1;
}
