// --info: a world file checked with the viewer's own parser, and described.
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Convert.h"
#include "WorldFile.h"

int ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& error) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = path + ": " + std::strerror(errno);
    return 0;
  }
  // One read of the whole size when it is known; pipes and such in chunks.
  struct stat st;
  bytes.clear();
  if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    bytes.resize((size_t)st.st_size);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
  }
  unsigned char chunk[1 << 16];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  const bool failed = std::ferror(f);
  const int readErrno = errno;
  std::fclose(f);
  if (failed) {
    error = path + ": cannot be read: " + std::strerror(readErrno);
    return 0;
  }
  return 1;
}

namespace {

// The parser names the file World.obj; say the name the user gave instead.
std::string ParserError(const std::string& path, const std::string& message) {
  const std::string prefix = "Error: World.obj: ";
  if (message.compare(0, prefix.size(), prefix) == 0) return path + ": " + message.substr(prefix.size());
  return path + ": " + message;
}

void VertexAt(const SWorldView& w, uint32_t index, double p[3]) {
  for (int k = 0; k < 3; ++k) p[k] = ReadWorldFloat(w.pVertices + 12 * (size_t)index + 4 * k);
}

bool IsDegenerate(const SWorldView& w, uint64_t triangle) {
  double a[3], b[3], c[3];
  VertexAt(w, ReadWorldUint(w.pIndices + 12 * triangle), a);
  VertexAt(w, ReadWorldUint(w.pIndices + 12 * triangle + 4), b);
  VertexAt(w, ReadWorldUint(w.pIndices + 12 * triangle + 8), c);
  const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
  const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
  return n[0] == 0 && n[1] == 0 && n[2] == 0;
}

void Measure(const SWorldView& w, SWorldInfo& info) {
  info.bHasBounds = w.iVertexCount > 0;
  for (int32_t i = 0; i < w.iVertexCount; ++i)
    for (int k = 0; k < 3; ++k) {
      const float v = ReadWorldFloat(w.pVertices + 12 * (size_t)i + 4 * k);
      if (i == 0 || v < info.sBounds.fMin[k]) info.sBounds.fMin[k] = v;
      if (i == 0 || v > info.sBounds.fMax[k]) info.sBounds.fMax[k] = v;
    }
  info.qwDegenerateCount = 0;
  for (uint64_t t = 0; t < (uint64_t)w.iTriangleCount; ++t)
    if (IsDegenerate(w, t)) ++info.qwDegenerateCount;
}

std::string Number(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

std::string Point(const float p[3]) {
  return "(" + Number(p[0]) + ", " + Number(p[1]) + ", " + Number(p[2]) + ")";
}

}  // namespace

int ReadWorldInfo(const std::string& path, SWorldInfo& info, std::string& error) {
  std::vector<unsigned char> bytes;
  if (!ReadWholeFile(path, bytes, error)) return 0;
  SWorldView w;
  std::string parseError;
  if (!ParseWorld(bytes.data(), bytes.size(), w, parseError)) {
    error = ParserError(path, parseError);
    return 0;
  }
  SWorldInfo out = {};
  out.qwFileSize = bytes.size();
  out.qwUsedBytes = w.qwUsedBytes;
  out.iVertexCount = w.iVertexCount;
  out.iTriangleCount = w.iTriangleCount;
  out.dwTexVertexCount = w.dwNumTVerts;
  Measure(w, out);
  info = out;
  return 1;
}

std::string FormatWorldInfo(const std::string& path, const SWorldInfo& info) {
  std::string s = "file: " + path + "\n";
  s += "file size: " + std::to_string(info.qwFileSize) + " bytes";
  if (info.qwFileSize > info.qwUsedBytes)
    s += " (the last " + std::to_string(info.qwFileSize - info.qwUsedBytes) + " are not read)";
  s += "\n";
  s += "vertices: " + std::to_string(info.iVertexCount) + "\n";
  s += "triangles: " + std::to_string(info.iTriangleCount) + "\n";
  s += "indices: " + std::to_string((int64_t)info.iTriangleCount * 3) + "\n";
  s += "texture vertices: " + std::to_string(info.dwTexVertexCount) + "\n";
  if (info.bHasBounds)
    s += "bounding box: min " + Point(info.sBounds.fMin) + " max " + Point(info.sBounds.fMax) + "\n";
  else
    s += "bounding box: none (no vertices)\n";
  s += "degenerate triangles: " + std::to_string(info.qwDegenerateCount) + "\n";
  return s;
}
