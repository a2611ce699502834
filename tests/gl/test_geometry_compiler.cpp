// Geometry compilation in a real OpenGL context: per-corner positions, flat
// face normals and texture coordinates, the rewritten index array, the three
// buffers' contents read back from OpenGL, and the array pointers tied to them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "CpGl.h"
#include "GlWindow.h"
#include "KeepAlive.h"
#include "TestSupport.h"

namespace {

struct SXyz {
  float x, y, z;
};

struct CompileCase {
  const char* name;
  std::vector<float> vertices;  // x, y, z per vertex
  std::vector<uint32_t> indices;
  std::vector<SXyz> positions;  // per corner, after compilation
  std::vector<SXyz> normals;    // per corner
  int divisionMessages;
};

void PrintTo(const CompileCase& c, std::ostream* os) { *os << c.name; }

// What a compilation prints, from its first line to its last.
std::string CompileSection(const std::string& output) {
  size_t begin = output.find("Compiling Objects\n");
  if (begin == std::string::npos) return "";
  const std::string last = "Objects Compiled\n";
  size_t end = output.find(last, begin);
  return end == std::string::npos ? output.substr(begin) : output.substr(begin, end + last.size() - begin);
}

std::vector<float> BufferContents(GLuint buffer) {
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  GLint size = -1;
  glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
  std::vector<float> contents((size_t)std::max(size, 0) / sizeof(float));
  if (size > 0) glGetBufferSubData(GL_ARRAY_BUFFER, 0, size, contents.data());
  return contents;
}

GLint Integer(GLenum what) {
  GLint v = -1;
  glGetIntegerv(what, &v);
  return v;
}

const float kHalfRoot2 = 0.70710678f;

class AssetsCompile : public testing::Test {
 protected:
  void Construct(const std::vector<float>& vertices, const std::vector<uint32_t>& indices) {
    dir.Write("World.obj", MakeWorld(vertices, indices));
    OpenGlWindow();
    // Errors left by an earlier test in this process belong to that test.
    while (glGetError() != GL_NO_ERROR) continue;
    output = CaptureOutput([&] { renderer.reset(new CCpGl); });
  }

  ScratchDir dir;
  KeptPtr<CCpGl> renderer;
  std::string output;
};

class AssetsCompileCase : public AssetsCompile, public testing::WithParamInterface<CompileCase> {};

TEST_P(AssetsCompileCase, ExpandsCornersWithFaceNormalsIntoTheBuffers) {
  const CompileCase& c = GetParam();
  Construct(c.vertices, c.indices);
  std::string expected = "Compiling Objects\n";
  for (int i = 0; i < c.divisionMessages; ++i) expected += "Error: div 0 in Vector3d::Rescale()\n";
  expected += "no error\nno error\nno error\nObjects Compiled\n";
  EXPECT_EQ(CompileSection(output), expected);

  const long n = (long)c.indices.size();
  ASSERT_EQ(renderer->iGraphicObjectCount, 1);
  const SGraphicObject& object = renderer->pGraphicObjectArray[0];
  ASSERT_EQ(object.iIndexCount, n);
  ASSERT_EQ(renderer->lVertexCount, n);
  ASSERT_EQ(renderer->lTexCordCount, n);
  ASSERT_EQ(c.positions.size(), (size_t)n);
  ASSERT_EQ(c.normals.size(), (size_t)n);
  for (long k = 0; k < n; ++k) {
    SCOPED_TRACE("corner " + std::to_string(k));
    EXPECT_EQ(object.pIndexArray[k], (GLuint)k);
    const Vector3f& p = renderer->pVertexArray[k];
    EXPECT_EQ(p.x, c.positions[k].x);
    EXPECT_EQ(p.y, c.positions[k].y);
    EXPECT_EQ(p.z, c.positions[k].z);
    const Vector3f& normal = renderer->pNormalArray[k];
    EXPECT_NEAR(normal.x, c.normals[k].x, 1e-6);
    EXPECT_NEAR(normal.y, c.normals[k].y, 1e-6);
    EXPECT_NEAR(normal.z, c.normals[k].z, 1e-6);
    // The coordinate of the vertex that this corner's index named.
    EXPECT_EQ(renderer->pTexCordArray[k].u, (float)(c.indices[k] % 2));
    EXPECT_EQ(renderer->pTexCordArray[k].v, (float)(c.indices[k] % 3));
  }

  // Each buffer holds exactly its array.
  const std::vector<float> positions = BufferContents(renderer->vbos[0]);
  const std::vector<float> texCoords = BufferContents(renderer->vbos[1]);
  const std::vector<float> normals = BufferContents(renderer->vbos[2]);
  ASSERT_EQ(positions.size(), (size_t)(3 * n));
  ASSERT_EQ(texCoords.size(), (size_t)(2 * n));
  ASSERT_EQ(normals.size(), (size_t)(3 * n));
  if (n == 0) return;
  EXPECT_EQ(std::memcmp(positions.data(), renderer->pVertexArray, 12 * n), 0);
  EXPECT_EQ(std::memcmp(texCoords.data(), renderer->pTexCordArray, 8 * n), 0);
  EXPECT_EQ(std::memcmp(normals.data(), renderer->pNormalArray, 12 * n), 0);
}

const std::vector<float> kRightTriangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};

INSTANTIATE_TEST_SUITE_P(
    Cases, AssetsCompileCase,
    testing::Values(CompileCase{"counter_clockwise",
                                kRightTriangle,
                                {0, 1, 2},
                                {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                                {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}},
                                0},
                    CompileCase{"clockwise_reorders_and_flips",
                                kRightTriangle,
                                {0, 2, 1},
                                {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}},
                                {{0, 0, -1}, {0, 0, -1}, {0, 0, -1}},
                                0},
                    CompileCase{"long_edges_give_a_unit_normal",
                                {0, 0, 5, 4, 0, 5, 0, 4, 5},
                                {0, 1, 2},
                                {{0, 0, 5}, {4, 0, 5}, {0, 4, 5}},
                                {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}},
                                0},
                    CompileCase{"tilted",
                                {0, 0, 0, 1, 0, 0, 0, 1, 1},
                                {0, 1, 2},
                                {{0, 0, 0}, {1, 0, 0}, {0, 1, 1}},
                                {{0, -kHalfRoot2, kHalfRoot2},
                                 {0, -kHalfRoot2, kHalfRoot2},
                                 {0, -kHalfRoot2, kHalfRoot2}},
                                0},
                    // Vertex 0 and vertex 1 stand in both triangles, each time with that triangle's normal.
                    CompileCase{"shared_vertex_carries_each_faces_normal",
                                {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1},
                                {0, 1, 2, 0, 3, 1},
                                {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}, {0, 0, 1}, {1, 0, 0}},
                                {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}},
                                0},
                    // Two equal corners: a zero normal and one message; the next triangle is unaffected.
                    CompileCase{"degenerate_then_regular",
                                kRightTriangle,
                                {0, 0, 1, 0, 1, 2},
                                {{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                                {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}},
                                1},
                    CompileCase{"collinear_corners",
                                {0, 0, 0, 1, 1, 1, 2, 2, 2},
                                {0, 1, 2},
                                {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}},
                                {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
                                1},
                    CompileCase{"no_triangles", kRightTriangle, {}, {}, {}, 0}),
    [](const testing::TestParamInfo<CompileCase>& info) { return std::string(info.param.name); });

// The passes draw with whatever buffer happens to be bound, so each array
// must be tied to its own buffer, at offset 0, with no element buffer.
TEST_F(AssetsCompile, ArrayPointersAreTiedToTheirOwnBuffers) {
  Construct(kRightTriangle, {0, 1, 2});
  const unsigned int* vbos = renderer->vbos;
  EXPECT_EQ(Integer(GL_ARRAY_BUFFER_BINDING), (GLint)vbos[2]);
  EXPECT_EQ(Integer(GL_ELEMENT_ARRAY_BUFFER_BINDING), 0);

  EXPECT_EQ(Integer(GL_VERTEX_ARRAY_BUFFER_BINDING), (GLint)vbos[0]);
  EXPECT_EQ(Integer(GL_VERTEX_ARRAY_SIZE), 3);
  EXPECT_EQ(Integer(GL_VERTEX_ARRAY_TYPE), GL_FLOAT);
  EXPECT_EQ(Integer(GL_VERTEX_ARRAY_STRIDE), 0);

  EXPECT_EQ(Integer(GL_CLIENT_ACTIVE_TEXTURE), GL_TEXTURE0);
  EXPECT_EQ(Integer(GL_TEXTURE_COORD_ARRAY_BUFFER_BINDING), (GLint)vbos[1]);
  EXPECT_EQ(Integer(GL_TEXTURE_COORD_ARRAY_SIZE), 2);
  EXPECT_EQ(Integer(GL_TEXTURE_COORD_ARRAY_TYPE), GL_FLOAT);
  EXPECT_EQ(Integer(GL_TEXTURE_COORD_ARRAY_STRIDE), 0);

  EXPECT_EQ(Integer(GL_NORMAL_ARRAY_BUFFER_BINDING), (GLint)vbos[2]);
  EXPECT_EQ(Integer(GL_NORMAL_ARRAY_TYPE), GL_FLOAT);
  EXPECT_EQ(Integer(GL_NORMAL_ARRAY_STRIDE), 0);

  const GLenum pointers[] = {GL_VERTEX_ARRAY_POINTER, GL_TEXTURE_COORD_ARRAY_POINTER,
                             GL_NORMAL_ARRAY_POINTER};
  for (GLenum which : pointers) {
    void* offset = reinterpret_cast<void*>(1);
    glGetPointerv(which, &offset);
    EXPECT_EQ(offset, nullptr) << "array " << which << " starts at offset 0";
  }
  for (GLenum array : {GL_VERTEX_ARRAY, GL_TEXTURE_COORD_ARRAY, GL_NORMAL_ARRAY})
    EXPECT_TRUE(glIsEnabled(array)) << array;

  GLint usage = 0;
  for (int i = 0; i < 3; ++i) {
    glBindBuffer(GL_ARRAY_BUFFER, vbos[i]);
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_USAGE, &usage);
    EXPECT_EQ(usage, GL_STATIC_DRAW) << i;
  }
}

}  // namespace
