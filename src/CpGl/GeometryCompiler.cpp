// Geometry compilation: the indexed mesh becomes per-corner arrays with flat
// face normals, uploaded to the three buffer objects.
#include <cmath>
#include <cstring>
#include <iostream>

#include "Corners.h"

static_assert(sizeof(Vector3f) == 12 && sizeof(Vector2f) == 8, "vertex records are packed floats");

namespace {

Vector3f VertexAt(const unsigned char* vertices, GLuint j) {
  Vector3f v;
  std::memcpy(&v, vertices + 12 * (size_t)j, 12);
  return v;
}

Vector2f TexCoordAt(const Vector2f* texCoords, GLuint j) {
  return texCoords ? texCoords[j] : Vector2f((float)(j % 2), (float)(j % 3));
}

// The unit face normal as tmp1.CrossProduct(tmp2).Rescale(1.0f) makes it, with
// the arithmetic written out here: it runs once per triangle, and the calls
// into Vector.cpp cost more than the arithmetic they do.
Vector3f FaceNormal(Vector3f p0, Vector3f p1, Vector3f p2) {
  Vector3f tmp1 = p1 - p0;
  Vector3f tmp2 = p2 - p1;
  Vector3f tmp3(tmp1.y * tmp2.z - tmp1.z * tmp2.y, tmp1.z * tmp2.x - tmp1.x * tmp2.z,
                tmp1.x * tmp2.y - tmp1.y * tmp2.x);
  float l = tmp3.x * tmp3.x + tmp3.y * tmp3.y + tmp3.z * tmp3.z;
  if (l == 0) return tmp3.Rescale(1.0f);  // writes the division message; the normal stays zero
  float a = (float)std::sqrt((double)(1.0f / l));
  return Vector3f(tmp3.x * a, tmp3.y * a, tmp3.z * a);
}

}  // namespace

void ExpandCorners(CCpGl& gl, const SCornerSource& source) {
  std::cout << "Compiling Objects\n";
  SGraphicObject& object = gl.pGraphicObjectArray[0];
  const unsigned long n = (unsigned long)object.iIndexCount;
  GLuint* index = object.pIndexArray;

  // Fresh arrays, not zero-filled: the one pass below writes every entry once, in order.
  Vector3f* positions = new Vector3f[n];
  Vector2f* texCoords = new Vector2f[n];
  Vector3f* normals = new Vector3f[n];

  for (unsigned long i = 0; i + 2 < n; i += 3) {
    // Read before the renumbering overwrites them when the source is the index array.
    GLuint corner[3];
    std::memcpy(corner, source.pIndices + 4 * i, 12);
    for (int c = 0; c < 3; ++c) {
      positions[i + c] = VertexAt(source.pVertices, corner[c]);
      texCoords[i + c] = TexCoordAt(source.pTexCoords, corner[c]);
      index[i + c] = (GLuint)(i + c);
    }
    Vector3f normal = FaceNormal(positions[i], positions[i + 1], positions[i + 2]);
    normals[i] = normal;
    normals[i + 1] = normal;
    normals[i + 2] = normal;
  }
  for (unsigned long k = n - n % 3; k < n; ++k) index[k] = (GLuint)k;

  gl.pVertexArray = positions;
  gl.pTexCordArray = texCoords;
  gl.pNormalArray = normals;
  gl.lTexCordCount = (long)n;
  gl.lVertexCount = (long)n;
}

namespace {

// With AMD_pinned_memory a buffer can take the renderer's own array as its
// storage: the mesh then lies in memory once instead of twice, and filling
// the buffer copies nothing. Some drivers refuse memory that is not page
// aligned; a refusal is an OpenGL error, which this reads and clears, so it
// must run where no other error is pending.
bool StoreInPlace(GLuint buffer, GLsizeiptr bytes, const void* data) {
  glBindBuffer(GL_EXTERNAL_VIRTUAL_MEMORY_BUFFER_AMD, buffer);
  glBufferData(GL_EXTERNAL_VIRTUAL_MEMORY_BUFFER_AMD, bytes, data, GL_STATIC_DRAW);
  glBindBuffer(GL_EXTERNAL_VIRTUAL_MEMORY_BUFFER_AMD, 0);
  return glGetError() == GL_NO_ERROR;
}

// Fills the three buffers from the per-corner arrays, in place while the
// driver takes them, by copying after its first refusal.
void StoreCorners(CCpGl& gl, unsigned long n) {
  const void* arrays[3] = {gl.pVertexArray, gl.pTexCordArray, gl.pNormalArray};
  const GLsizeiptr bytes[3] = {(GLsizeiptr)(12 * n), (GLsizeiptr)(8 * n), (GLsizeiptr)(12 * n)};
  bool inPlace = GLEW_AMD_pinned_memory && n > 0;
  for (int b = 0; b < 3; ++b) {
    inPlace = inPlace && StoreInPlace(gl.vbos[b], bytes[b], arrays[b]);
    if (inPlace) continue;
    glBindBuffer(GL_ARRAY_BUFFER, gl.vbos[b]);
    glBufferData(GL_ARRAY_BUFFER, bytes[b], arrays[b], GL_STATIC_DRAW);
  }
}

}  // namespace

void UploadCorners(CCpGl& gl) {
  // Each array pointer takes its buffer from the binding, not the contents,
  // so the pointers are set first and the buffers filled after the first
  // error line, where nothing is pending.
  glBindBuffer(GL_ARRAY_BUFFER, gl.vbos[0]);
  glVertexPointer(3, GL_FLOAT, 0, nullptr);
  glBindBuffer(GL_ARRAY_BUFFER, gl.vbos[1]);
  glTexCoordPointer(2, GL_FLOAT, 0, nullptr);
  glBindBuffer(GL_ARRAY_BUFFER, gl.vbos[2]);
  WriteGlErrorLine();
  StoreCorners(gl, (unsigned long)gl.lVertexCount);
  glBindBuffer(GL_ARRAY_BUFFER, gl.vbos[2]);
  WriteGlErrorLine();
  glNormalPointer(GL_FLOAT, 0, nullptr);
  WriteGlErrorLine();

  std::cout << "Objects Compiled\n";
}

void CCpGl::CompileObjects() {
  Vector3f* vertices = pVertexArray;
  Vector2f* texCoords = pTexCordArray;
  ExpandCorners(*this, {(const unsigned char*)vertices,
                        (const unsigned char*)pGraphicObjectArray[0].pIndexArray, texCoords});
  // Released before the uploads, which need as much memory again.
  delete[] vertices;
  delete[] texCoords;
  UploadCorners(*this);
}
