// Scene loading: the two textures, World.obj, the drawable object and the light.
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <string>

#include "CpGl.h"
#include "Corners.h"
#include "WorldFile.h"

namespace {

std::string ReadError(const std::string& why) { return "Error: World.obj: cannot be read: " + why; }

// The whole file in one read into `bytes` (`size` of them): a scene of millions
// of triangles loads in the time its bytes take to arrive. The size comes from
// the file system, not from seeking: a folder opens, and seeks to an end of
// 2^63 - 1 on some file systems.
bool ReadWholeFile(FILE* f, std::unique_ptr<unsigned char[]>& bytes, size_t& size, std::string& error) {
  struct stat info;
  if (fstat(fileno(f), &info) != 0) {
    error = ReadError(std::strerror(errno));
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = ReadError("it is not a regular file");
    return false;
  }
  size = (size_t)info.st_size;
  // One spare byte, so that an empty file still gets a buffer; no zero fill,
  // the read overwrites every byte.
  if ((uint64_t)info.st_size < (uint64_t)SIZE_MAX) bytes.reset(new (std::nothrow) unsigned char[size + 1]);
  if (!bytes) {
    error = ReadError("its " + std::to_string((uint64_t)info.st_size) + " bytes do not fit in memory");
    return false;
  }
  if (size > 0 && std::fread(bytes.get(), 1, size, f) != size) {
    error = ReadError(std::ferror(f) ? std::strerror(errno) : "the file ended early");
    return false;
  }
  return true;
}

void SetDefaultLight(SLightObject& light) {
  light.x = -60.0f;
  light.y = 310.0f;
  light.z = 200.0f;
  light.ax = 40.0f;
  light.ay = 230.0f;
  light.near = 0.1f;
  light.far = 1000.0f;
  light.width = 0.2f;
  light.height = 0.2f;
  light.resWidth = 1024;
  light.resHeight = 1024;
}

}  // namespace

int CCpGl::LoadObjects() {
  std::cout << "loading objects\n";
  iTextureCount = 2;
  pTextureArray = new GLuint[2];
  pTextureArray[0] = LoadTexture(1024, 1024, "");
  pTextureArray[1] = LoadTexture(1024, 1024, "tex2.bmp");

  FILE* file = std::fopen("World.obj", "rb");
  if (!file) {
    std::cout << "Failed to open file\n";
    return 0;
  }

  // Everything is checked before anything is built from the file.
  std::unique_ptr<unsigned char[]> bytes;
  size_t size = 0;
  std::string error;
  SWorldView world;
  if (!ReadWholeFile(file, bytes, size, error) || !ParseWorld(bytes.get(), size, world, error)) {
    std::fclose(file);
    std::cout << error << "\n";
    return 0;
  }

  glGenBuffers(3, vbos);
  iGraphicObjectCount = 1;
  pGraphicObjectArray = new SGraphicObject[1];
  SGraphicObject& object = pGraphicObjectArray[0];

  lVertexCount = world.iVertexCount;
  std::cout << "Vertex Count: " << lVertexCount << std::endl;

  object.Texture = 1;
  object.x = 0.0f;
  object.y = 0.0f;
  object.z = 0.0f;
  object.iIndexCount = (long)world.iTriangleCount * 3;
  std::cout << "Index Count: " << object.iIndexCount << std::endl;
  // Filled by the expansion below, as it reads the file's indices.
  object.pIndexArray = new GLuint[object.iIndexCount];
  std::cout << std::endl;

  // The file's texture sections were checked by the parser and are not used:
  // every vertex j gets (j mod 2, j mod 3), made as the expansion needs it.
  lTexCordCount = lVertexCount;

  iLightCount = 1;
  pLightObjectArray = new SLightObject[1];
  SetDefaultLight(pLightObjectArray[0]);

  if (GLEW_ARB_fragment_program) std::cout << "GLEW_ARB_fragment_program suported\n";
  WriteGlErrorLine();
  std::cout << "objects loaded\n";
  std::fclose(file);

  // The geometry is compiled straight from the file's bytes: the indexed mesh
  // is neither copied into per-vertex arrays nor uploaded, since the per-corner
  // arrays replace it before anything is drawn. The bytes are freed before the
  // buffers are filled, which takes as much memory again where the driver
  // copies the arrays.
  ExpandCorners(*this, {world.pVertices, world.pIndices, nullptr});
  bytes.reset();
  UploadCorners(*this);
  return 1;
}
