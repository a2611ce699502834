#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "SceneGen.h"

namespace {

const size_t kChunkBytes = 1 << 20;

bool HostIsLittleEndian() {
  const uint32_t probe = 1;
  unsigned char first;
  std::memcpy(&first, &probe, 1);
  return first == 1;
}

void PutLe32(unsigned char* out, uint32_t v) {
  out[0] = (unsigned char)v;
  out[1] = (unsigned char)(v >> 8);
  out[2] = (unsigned char)(v >> 16);
  out[3] = (unsigned char)(v >> 24);
}

// 4-byte values (floats or integers) as little-endian, in large pieces.
bool SendLe32Array(const void* values, size_t count, const ByteSink& sink) {
  if (HostIsLittleEndian()) return count == 0 || sink(values, count * 4);
  const unsigned char* in = (const unsigned char*)values;
  std::vector<unsigned char> chunk;
  for (size_t done = 0; done < count;) {
    size_t n = std::min(count - done, kChunkBytes / 4);
    chunk.resize(n * 4);
    for (size_t i = 0; i < n; ++i) {
      uint32_t v;
      std::memcpy(&v, in + 4 * (done + i), 4);
      PutLe32(&chunk[4 * i], v);
    }
    if (!sink(chunk.data(), chunk.size())) return false;
    done += n;
  }
  return true;
}

bool SendLe32(uint32_t v, const ByteSink& sink) {
  unsigned char bytes[4];
  PutLe32(bytes, v);
  return sink(bytes, 4);
}

bool SendZeros(uint64_t bytes, const ByteSink& sink) {
  std::vector<unsigned char> zeros((size_t)std::min<uint64_t>(bytes, kChunkBytes), 0);
  for (uint64_t left = bytes; left > 0;) {
    size_t n = (size_t)std::min<uint64_t>(left, zeros.size());
    if (!sink(zeros.data(), n)) return false;
    left -= n;
  }
  return true;
}

// 32-bit integer hash, for repeatable noise without floating point.
uint32_t Hash(uint32_t a, uint32_t b, uint32_t c) {
  uint32_t h = a * 0x9E3779B1u ^ b * 0x85EBCA77u ^ c * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

// Smooth value noise in [-128, 127] with a lattice `step` pixels apart that
// wraps at 1024 pixels, so the texture tiles without seams.
int ValueNoise(int x, int y, int step, uint32_t salt) {
  int cells = 1024 / step;
  int cx = x / step, cy = y / step, fx = (x % step) * 256 / step, fy = (y % step) * 256 / step;
  auto corner = [&](int i, int j) {
    return (int)(Hash((uint32_t)((cx + i) % cells), (uint32_t)((cy + j) % cells), salt) & 255) - 128;
  };
  // Smoothstep weights in 0..256.
  int wx = fx * fx * (768 - 2 * fx) / 65536, wy = fy * fy * (768 - 2 * fy) / 65536;
  int top = corner(0, 0) * (256 - wx) + corner(1, 0) * wx;
  int bottom = corner(0, 1) * (256 - wx) + corner(1, 1) * wx;
  return (top * (256 - wy) + bottom * wy) / 65536;
}

int Clamp255(int v) { return std::max(0, std::min(255, v)); }

// One pixel of the tile pattern: 4 x 4 stone tiles of 256 pixels with grout
// between them, a bevel lit from the top left, and a little grain.
void TilePixel(int x, int y, unsigned char* bgr) {
  static const int kStones[4][3] = {{214, 204, 184}, {200, 193, 178}, {222, 210, 188}, {205, 198, 190}};
  const int kTile = 256, kGrout = 5, kBevel = 16;
  int tx = x / kTile, ty = y / kTile, lx = x % kTile, ly = y % kTile;
  int toLeft = lx, toRight = kTile - 1 - lx, toTop = ly, toBottom = kTile - 1 - ly;
  int edge = std::min(std::min(toLeft, toRight), std::min(toTop, toBottom));
  int grain = ValueNoise(x, y, 4, 7) / 16;
  int rgb[3];
  if (edge < kGrout) {
    for (int c = 0; c < 3; ++c) rgb[c] = 150 - 4 * c + grain;
  } else {
    uint32_t h = Hash((uint32_t)tx, (uint32_t)ty, 3);
    const int* stone = kStones[h & 3];
    int tint = (int)((h >> 8) % 17) - 8;
    int cloud = ValueNoise(x, y, 32, 11) / 10 + ValueNoise(x, y, 8, 5) / 20;
    int shade = 0;
    if (edge < kGrout + kBevel) {
      int depth = kGrout + kBevel - edge;  // stronger near the grout
      if (edge == toLeft || edge == toTop) shade = depth;
      if (edge == toRight || edge == toBottom) shade = -depth;
    }
    for (int c = 0; c < 3; ++c) rgb[c] = stone[c] + tint + cloud + grain + shade;
  }
  bgr[0] = (unsigned char)Clamp255(rgb[2]);
  bgr[1] = (unsigned char)Clamp255(rgb[1]);
  bgr[2] = (unsigned char)Clamp255(rgb[0]);
}

void PutLe16(unsigned char* out, uint16_t v) {
  out[0] = (unsigned char)v;
  out[1] = (unsigned char)(v >> 8);
}

}  // namespace

bool WriteWorld(const SMesh& mesh, const ByteSink& sink) {
  uint32_t triangles = mesh.TriangleCount();
  return SendLe32(mesh.VertexCount(), sink) &&
         SendLe32Array(mesh.vPositions.data(), mesh.vPositions.size(), sink) && SendLe32(triangles, sink) &&
         SendLe32Array(mesh.vIndices.data(), mesh.vIndices.size(), sink) && SendLe32(0, sink) &&
         SendZeros((uint64_t)triangles * 12, sink);
}

bool WritePly(const SMesh& mesh, const ByteSink& sink) {
  std::string header =
      "ply\nformat binary_little_endian 1.0\ncomment written by vantrel-gen-scene\n"
      "element vertex " +
      std::to_string(mesh.VertexCount()) +
      "\nproperty float x\nproperty float y\nproperty float z\n"
      "element face " +
      std::to_string(mesh.TriangleCount()) + "\nproperty list uchar int vertex_indices\nend_header\n";
  if (!sink(header.data(), header.size())) return false;
  if (!SendLe32Array(mesh.vPositions.data(), mesh.vPositions.size(), sink)) return false;
  const size_t kFaceBytes = 13, kFacesPerChunk = kChunkBytes / kFaceBytes;
  std::vector<unsigned char> chunk;
  for (size_t face = 0; face < mesh.TriangleCount();) {
    size_t n = std::min<size_t>(mesh.TriangleCount() - face, kFacesPerChunk);
    chunk.resize(n * kFaceBytes);
    for (size_t i = 0; i < n; ++i) {
      unsigned char* out = &chunk[i * kFaceBytes];
      out[0] = 3;
      for (int c = 0; c < 3; ++c) PutLe32(out + 1 + 4 * c, mesh.vIndices[3 * (face + i) + c]);
    }
    if (!sink(chunk.data(), chunk.size())) return false;
    face += n;
  }
  return true;
}

std::vector<unsigned char> MakeTileTexture() {
  const int kSize = 1024, kHeader = 54;
  const uint32_t kPixelBytes = kSize * kSize * 3;
  std::vector<unsigned char> bmp(kHeader + kPixelBytes, 0);
  unsigned char* h = bmp.data();
  h[0] = 'B';
  h[1] = 'M';
  PutLe32(h + 2, kHeader + kPixelBytes);  // file size
  PutLe32(h + 10, kHeader);               // pixel data offset
  PutLe32(h + 14, 40);                    // info header size
  PutLe32(h + 18, kSize);                 // width
  PutLe32(h + 22, kSize);                 // height, positive: rows stored bottom-up
  PutLe16(h + 26, 1);                     // planes
  PutLe16(h + 28, 24);                    // bits per pixel
  PutLe32(h + 30, 0);                     // no compression
  PutLe32(h + 34, kPixelBytes);
  PutLe32(h + 38, 2835);  // 72 dpi
  PutLe32(h + 42, 2835);
  for (int row = 0; row < kSize; ++row) {
    unsigned char* line = h + kHeader + (size_t)row * kSize * 3;
    int y = kSize - 1 - row;  // picture row y counted from the top
    for (int x = 0; x < kSize; ++x) TilePixel(x, y, line + 3 * x);
  }
  return bmp;
}

int WriteFileWith(const std::string& path, const std::function<bool(const ByteSink&)>& write,
                  std::string& error) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    error = "cannot create " + path + ": " + std::strerror(errno);
    return 0;
  }
  ByteSink sink = [f](const void* data, size_t size) { return std::fwrite(data, 1, size, f) == size; };
  bool written = write(sink);
  int savedErrno = errno;
  bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    error = "cannot write " + path + ": " + std::strerror(written ? errno : savedErrno);
    return 0;
  }
  return 1;
}
