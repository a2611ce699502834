// The two ways geometry gets compiled: the loader expands straight from the
// file's bytes, CompileObjects from the renderer's own per-vertex arrays.
// Both must give what CrossProduct and Rescale give, bit for bit, and the
// same arrays, buffers and lines.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "CpGl.h"
#include "GlWindow.h"
#include "KeepAlive.h"
#include "TestSupport.h"

namespace {

class CompilingGl : public CCpGl {
 public:
  using CCpGl::CompileObjects;
};

struct SMesh {
  std::vector<float> vertices;  // x, y, z per vertex
  std::vector<uint32_t> indices;
};

// Triangles of every size and orientation, from tiny to huge, with corners
// shared between triangles and some repeated within one (zero normals).
SMesh RandomMesh() {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  const float scales[] = {1e-3f, 1.0f, 250.0f, 1e5f};
  SMesh m;
  for (int j = 0; j < 400; ++j) {
    float s = scales[j % 4];
    for (int c = 0; c < 3; ++c) m.vertices.push_back(unit(random) * s);
  }
  std::uniform_int_distribution<uint32_t> vertex(0, 399);
  for (int t = 0; t < 600; ++t) {
    uint32_t a = vertex(random), b = a, c = a;
    while (b == a) b = vertex(random);
    // Every 50th triangle repeats its first corner; the others have three.
    while (t % 50 != 0 && (c == a || c == b)) c = vertex(random);
    m.indices.insert(m.indices.end(), {a, b, c});
  }
  return m;
}

Vector3f At(const SMesh& m, uint32_t j) {
  return Vector3f(m.vertices[3 * j], m.vertices[3 * j + 1], m.vertices[3 * j + 2]);
}

bool SameBits(const Vector3f& a, const Vector3f& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::vector<unsigned char> BufferBytes(GLuint buffer) {
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  GLint size = 0;
  glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
  std::vector<unsigned char> bytes((size_t)size);
  if (size > 0) glGetBufferSubData(GL_ARRAY_BUFFER, 0, size, bytes.data());
  return bytes;
}

// What CrossProduct and Rescale make of each triangle, one normal per
// triangle; `messages` gets the lines Rescale wrote.
std::vector<Vector3f> ReferenceNormals(const SMesh& m, std::string* messages) {
  std::vector<Vector3f> normals;
  *messages = CaptureOutput([&] {
    for (size_t i = 0; i + 2 < m.indices.size(); i += 3) {
      Vector3f p0 = At(m, m.indices[i]), p1 = At(m, m.indices[i + 1]), p2 = At(m, m.indices[i + 2]);
      Vector3f normal = (p1 - p0).CrossProduct(p2 - p1);
      normals.push_back(normal.Rescale(1.0f));
    }
  });
  return normals;
}

// Per-corner arrays, counts, the renumbered index array and the buffers
// holding exactly the arrays: checked against the mesh for either path.
// `texCoord` gives the coordinate the corner of vertex j must get.
template <class TexCoordOf>
void ExpectCompiled(const CCpGl& gl, const SMesh& m, const std::vector<Vector3f>& normals,
                    TexCoordOf texCoord) {
  const long n = (long)m.indices.size();
  ASSERT_EQ(gl.pGraphicObjectArray[0].iIndexCount, n);
  ASSERT_EQ(gl.lVertexCount, n);
  ASSERT_EQ(gl.lTexCordCount, n);
  int mismatches = 0;
  for (long k = 0; k < n && mismatches < 5; ++k) {
    uint32_t j = m.indices[k];
    Vector2f uv = texCoord(j);
    bool ok = gl.pGraphicObjectArray[0].pIndexArray[k] == (GLuint)k &&
              SameBits(gl.pVertexArray[k], At(m, j)) && SameBits(gl.pNormalArray[k], normals[k / 3]) &&
              gl.pTexCordArray[k].u == uv.u && gl.pTexCordArray[k].v == uv.v;
    if (!ok) ADD_FAILURE() << "corner " << k << " (vertex " << j << ") differs", ++mismatches;
  }
  std::vector<unsigned char> positions = BufferBytes(gl.vbos[0]), texCoords = BufferBytes(gl.vbos[1]),
                             normalBytes = BufferBytes(gl.vbos[2]);
  ASSERT_EQ(positions.size(), (size_t)(12 * n));
  ASSERT_EQ(texCoords.size(), (size_t)(8 * n));
  ASSERT_EQ(normalBytes.size(), (size_t)(12 * n));
  EXPECT_EQ(std::memcmp(positions.data(), gl.pVertexArray, 12 * n), 0);
  EXPECT_EQ(std::memcmp(texCoords.data(), gl.pTexCordArray, 8 * n), 0);
  EXPECT_EQ(std::memcmp(normalBytes.data(), gl.pNormalArray, 12 * n), 0);
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class PerfCompilePaths : public testing::Test {
 protected:
  void SetUp() override {
    OpenGlWindow();
    while (glGetError() != GL_NO_ERROR) continue;
  }

  ScratchDir dir;
};

TEST_F(PerfCompilePaths, LoaderExpandsTheFileAsCrossProductAndRescaleWould) {
  SMesh m = RandomMesh();
  dir.Write("World.obj", MakeWorld(m.vertices, m.indices));
  KeptPtr<CompilingGl> gl;
  std::string output = CaptureOutput([&] { gl.reset(new CompilingGl); });
  std::string messages;
  std::vector<Vector3f> normals = ReferenceNormals(m, &messages);
  ExpectCompiled(*gl, m, normals, [](uint32_t j) { return Vector2f((float)(j % 2), (float)(j % 3)); });
  // At least the twelve triangles with a repeated corner have no normal.
  EXPECT_GE(Count(messages, "\n"), 12u);
  EXPECT_EQ(Count(output, messages), 1u);
}

// CompileObjects on arrays set by hand: texture coordinates are taken from
// the array, whatever they hold, and the index array is read before it is
// renumbered in place.
TEST_F(PerfCompilePaths, CompileObjectsExpandsTheRendererArrays) {
  dir.Write("World.obj", MakeWorld({0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}));
  KeptPtr<CompilingGl> gl;
  CaptureOutput([&] { gl.reset(new CompilingGl); });
  KeepUntilExit(gl->pVertexArray);
  KeepUntilExit(gl->pTexCordArray);
  KeepUntilExit(gl->pNormalArray);
  KeepUntilExit(gl->pGraphicObjectArray[0].pIndexArray);

  SMesh m = RandomMesh();
  const size_t v = m.vertices.size() / 3;
  gl->lVertexCount = (long)v;
  gl->pVertexArray = new Vector3f[v];
  for (size_t j = 0; j < v; ++j) gl->pVertexArray[j] = At(m, (uint32_t)j);
  gl->lTexCordCount = (long)v;
  gl->pTexCordArray = new Vector2f[v];
  for (size_t j = 0; j < v; ++j) gl->pTexCordArray[j] = Vector2f(0.5f * j, -(float)j);
  SGraphicObject& object = gl->pGraphicObjectArray[0];
  object.iIndexCount = (long)m.indices.size();
  object.pIndexArray = new GLuint[m.indices.size()];
  std::memcpy(object.pIndexArray, m.indices.data(), 4 * m.indices.size());

  std::string output = CaptureOutput([&] { gl->CompileObjects(); });
  std::string messages;
  std::vector<Vector3f> normals = ReferenceNormals(m, &messages);
  ExpectCompiled(*gl, m, normals, [](uint32_t j) { return Vector2f(0.5f * j, -(float)j); });
  EXPECT_EQ(output, "Compiling Objects\n" + messages + "no error\nno error\nno error\nObjects Compiled\n");
}

}  // namespace
