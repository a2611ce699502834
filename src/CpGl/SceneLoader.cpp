// Scene loading: the two textures, World.obj, the drawable object and the light.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "CpGl.h"
#include "WorldFile.h"

namespace {

// The whole file in one read: a scene of millions of triangles loads in the
// time its bytes take to arrive.
bool ReadWholeFile(FILE* f, std::vector<unsigned char>& bytes, std::string& error) {
  if (std::fseek(f, 0, SEEK_END) != 0) {
    error = std::string("Error: World.obj: cannot be read: ") + std::strerror(errno);
    return false;
  }
  long size = std::ftell(f);
  if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) {
    error = std::string("Error: World.obj: cannot be read: ") + std::strerror(errno);
    return false;
  }
  bytes.resize((size_t)size);
  if (size > 0 && std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
    error = std::string("Error: World.obj: cannot be read: ") +
            (std::ferror(f) ? std::strerror(errno) : "the file ended early");
    return false;
  }
  // A folder opens but reads as nothing: its ftell is no size at all.
  if (size == 0 && std::ferror(f)) {
    error = std::string("Error: World.obj: cannot be read: ") + std::strerror(errno);
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
  std::vector<unsigned char> bytes;
  std::string error;
  SWorldView world;
  if (!ReadWholeFile(file, bytes, error) || !ParseWorld(bytes.data(), bytes.size(), world, error)) {
    std::fclose(file);
    std::cout << error << "\n";
    return 0;
  }

  glGenBuffers(3, vbos);
  iGraphicObjectCount = 1;
  pGraphicObjectArray = new SGraphicObject[1];
  SGraphicObject& object = pGraphicObjectArray[0];

  lVertexCount = world.iVertexCount;
  pVertexArray = new Vector3f[lVertexCount];
  std::memcpy(pVertexArray, world.pVertices, (size_t)lVertexCount * 12);
  std::cout << "Vertex Count: " << lVertexCount << std::endl;

  glBindBuffer(GL_ARRAY_BUFFER, vbos[0]);
  glBufferData(GL_ARRAY_BUFFER, (GLsizeiptr)lVertexCount * 12, pVertexArray, GL_STATIC_DRAW);
  glVertexPointer(3, GL_FLOAT, 0, nullptr);

  object.Texture = 1;
  object.x = 0.0f;
  object.y = 0.0f;
  object.z = 0.0f;
  object.iIndexCount = (long)world.iTriangleCount * 3;
  std::cout << "Index Count: " << object.iIndexCount << std::endl;
  object.pIndexArray = new GLuint[object.iIndexCount];
  std::memcpy(object.pIndexArray, world.pIndices, (size_t)object.iIndexCount * 4);
  std::cout << std::endl;

  // The file's texture sections were checked by the parser and are not used:
  // every vertex j gets (j mod 2, j mod 3).
  lTexCordCount = lVertexCount;
  pTexCordArray = new Vector2f[lTexCordCount];
  for (long j = 0; j < lVertexCount; ++j) {
    pTexCordArray[j].u = (float)(j % 2);
    pTexCordArray[j].v = (float)(j % 3);
  }
  glBindBuffer(GL_ARRAY_BUFFER, vbos[1]);
  glBufferData(GL_ARRAY_BUFFER, (GLsizeiptr)lTexCordCount * 8, pTexCordArray, GL_STATIC_DRAW);
  glTexCoordPointer(2, GL_FLOAT, 0, nullptr);

  iLightCount = 1;
  pLightObjectArray = new SLightObject[1];
  SetDefaultLight(pLightObjectArray[0]);

  if (GLEW_ARB_fragment_program) std::cout << "GLEW_ARB_fragment_program suported\n";
  WriteGlErrorLine();
  std::cout << "objects loaded\n";
  std::fclose(file);

  CompileObjects();
  return 1;
}
