// The World.obj writer: the file is built in memory section by section with
// bulk copies and written with one call, under a temporary name.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "Convert.h"

namespace {

// Every field of the file is a 4-byte little-endian word.
void SwapWordsOnBigEndian(std::vector<unsigned char>& bytes) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  for (size_t i = 0; i + 3 < bytes.size(); i += 4) {
    std::swap(bytes[i], bytes[i + 3]);
    std::swap(bytes[i + 1], bytes[i + 2]);
  }
#else
  (void)bytes;
#endif
}

unsigned char* PutWord(unsigned char* at, uint32_t value) {
  std::memcpy(at, &value, 4);
  return at + 4;
}

unsigned char* PutBlock(unsigned char* at, const void* data, size_t bytes) {
  if (bytes) std::memcpy(at, data, bytes);
  return at + bytes;
}

int Fail(const std::string& path, const char* what, std::string& error) {
  error = path + ": " + what + ": " + std::strerror(errno);
  return 0;
}

int WriteAll(int fd, const std::vector<unsigned char>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return 0;
    done += (size_t)n;
  }
  return 1;
}

// New files get the usual permissions (mkstemp makes them private). Should
// this fail, the file is still written, only readable by its owner alone.
void SetUsualMode(int fd) {
  mode_t mask = umask(0);
  umask(mask);
  (void)fchmod(fd, 0666 & ~mask);
}

}  // namespace

std::vector<unsigned char> EncodeWorld(const SWorldMesh& mesh) {
  const uint32_t vertexCount = (uint32_t)(mesh.vVertices.size() / 3);
  const uint32_t triangleCount = (uint32_t)(mesh.vIndices.size() / 3);
  const uint32_t texVertexCount = (uint32_t)(mesh.vTexCoords.size() / 2);
  const size_t indexBytes = (size_t)triangleCount * 12;

  std::vector<unsigned char> bytes(12 + (size_t)vertexCount * 12 + indexBytes + (size_t)texVertexCount * 8 +
                                   indexBytes);
  unsigned char* at = bytes.data();
  at = PutWord(at, vertexCount);
  at = PutBlock(at, mesh.vVertices.data(), (size_t)vertexCount * 12);
  at = PutWord(at, triangleCount);
  at = PutBlock(at, mesh.vIndices.data(), indexBytes);
  at = PutWord(at, texVertexCount);
  at = PutBlock(at, mesh.vTexCoords.data(), (size_t)texVertexCount * 8);
  // Texture coordinates are per vertex, so the texture triangles are the
  // vertex triangles; without coordinates they stay zero.
  if (texVertexCount) PutBlock(at, mesh.vIndices.data(), indexBytes);
  SwapWordsOnBigEndian(bytes);
  return bytes;
}

int WriteFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes,
                        std::string& error) {
  std::string temp = path + ".partial-XXXXXX";
  int fd = mkstemp(&temp[0]);
  if (fd < 0) return Fail(path, "cannot create the output file", error);
  SetUsualMode(fd);
  if (!WriteAll(fd, bytes) || fsync(fd) != 0) {
    Fail(path, "cannot write the output file", error);
    close(fd);
    unlink(temp.c_str());
    return 0;
  }
  if (close(fd) != 0) {
    Fail(path, "cannot write the output file", error);
    unlink(temp.c_str());
    return 0;
  }
  if (rename(temp.c_str(), path.c_str()) != 0) {
    Fail(path, "cannot replace the output file", error);
    unlink(temp.c_str());
    return 0;
  }
  return 1;
}

int WriteWorldFile(const std::string& path, const SWorldMesh& mesh, std::string& error) {
  if (!CheckWorldCounts(mesh.vVertices.size() / 3, mesh.vIndices.size() / 3, error)) {
    error = path + ": " + error;
    return 0;
  }
  return WriteFileAtomically(path, EncodeWorld(mesh), error);
}
