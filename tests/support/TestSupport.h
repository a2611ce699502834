// Helpers shared by the tests: scratch folders, captured output, world files.
#ifndef VANTREL_TEST_SUPPORT_H
#define VANTREL_TEST_SUPPORT_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A fresh folder under /tmp that becomes the working directory for the
// object's lifetime (the viewer reads its files from the working directory).
class ScratchDir {
public:
  ScratchDir();
  ~ScratchDir();
  const std::string& Path() const { return sPath; }
  void Write(const std::string& name, const std::string& bytes) const;
  void Write(const std::string& name, const std::vector<unsigned char>& bytes) const;
  // Copies a file of the project's data/ folder in.
  void CopyData(const std::string& name) const;
  std::string Read(const std::string& name) const;

private:
  std::string sPath;
  std::string sPrevious;
};

// Runs `body` and returns what it wrote to standard output (C stdio and std::cout).
std::string CaptureOutput(const std::function<void()>& body);

std::string ReadFileBytes(const std::string& path);

// Builds World.obj bytes from its sections: vertices as x, y, z triples,
// indices three per triangle, texture vertices as u, v pairs. The texture
// triangles are written as zeros, one per triangle.
std::vector<unsigned char> MakeWorld(const std::vector<float>& vertices,
                                     const std::vector<uint32_t>& indices,
                                     const std::vector<float>& tvertices = {});
void AppendU32(std::vector<unsigned char>& out, uint32_t v);
void AppendF32(std::vector<unsigned char>& out, float v);

// The path of a file in the project's source tree.
std::string SourcePath(const std::string& relative);

#endif
