// Fixtures for the converter's tests: small models written in several
// formats, the converted file read back with the viewer's parser, and the
// vantrel-convert binary run as a user runs it.
#ifndef VANTREL_TESTS_CONVERT_FIXTURES_H
#define VANTREL_TESTS_CONVERT_FIXTURES_H

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "WorldFile.h"

namespace convert_test {

using Vec3 = std::array<double, 3>;

// An axis-aligned box from `lo` to `hi` with counter-clockwise outward faces.
struct SBoxModel {
  std::vector<Vec3> corners;
  std::vector<std::array<uint32_t, 3>> triangles;
};

inline SBoxModel Box(Vec3 lo, Vec3 hi) {
  SBoxModel m;
  for (int i = 0; i < 8; ++i)
    m.corners.push_back({(i & 1) ? hi[0] : lo[0], (i & 2) ? hi[1] : lo[1], (i & 4) ? hi[2] : lo[2]});
  // Corner i has x from bit 0, y from bit 1, z from bit 2.
  const uint32_t quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& q : quads) {
    m.triangles.push_back({q[0], q[1], q[2]});
    m.triangles.push_back({q[0], q[2], q[3]});
  }
  return m;
}

inline std::string Num(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.9g", v);
  return text;
}

inline std::string BoxAsObj(const SBoxModel& m) {
  std::string s = "# box\n";
  for (const Vec3& c : m.corners) s += "v " + Num(c[0]) + " " + Num(c[1]) + " " + Num(c[2]) + "\n";
  for (const auto& t : m.triangles)
    s += "f " + std::to_string(t[0] + 1) + " " + std::to_string(t[1] + 1) + " " + std::to_string(t[2] + 1) +
         "\n";
  return s;
}

inline std::string BoxAsAsciiPly(const SBoxModel& m) {
  std::string s =
      "ply\nformat ascii 1.0\nelement vertex 8\nproperty float x\nproperty float y\n"
      "property float z\nelement face 12\nproperty list uchar int vertex_indices\nend_header\n";
  for (const Vec3& c : m.corners) s += Num(c[0]) + " " + Num(c[1]) + " " + Num(c[2]) + "\n";
  for (const auto& t : m.triangles)
    s += "3 " + std::to_string(t[0]) + " " + std::to_string(t[1]) + " " + std::to_string(t[2]) + "\n";
  return s;
}

inline void PutF32(std::string& out, float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  for (int i = 0; i < 4; ++i) out.push_back((char)(bits >> (8 * i)));
}

inline void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back((char)(v >> (8 * i)));
}

// Binary STL: 80-byte header, triangle count, then per triangle a normal,
// three corners and a 2-byte attribute. The normals are left zero on purpose:
// the winding alone must carry the orientation.
inline std::string BoxAsBinaryStl(const SBoxModel& m) {
  std::string s(80, ' ');
  PutU32(s, (uint32_t)m.triangles.size());
  for (const auto& t : m.triangles) {
    for (int k = 0; k < 3; ++k) PutF32(s, 0.0f);
    for (uint32_t i : t)
      for (int k = 0; k < 3; ++k) PutF32(s, (float)m.corners[i][k]);
    s += std::string(2, '\0');
  }
  return s;
}

inline std::string Base64(const std::string& bytes) {
  static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = (uint32_t)(unsigned char)bytes[i] << 16;
    if (i + 1 < bytes.size()) n |= (uint32_t)(unsigned char)bytes[i + 1] << 8;
    if (i + 2 < bytes.size()) n |= (uint32_t)(unsigned char)bytes[i + 2];
    out += abc[(n >> 18) & 63];
    out += abc[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? abc[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? abc[n & 63] : '=';
  }
  return out;
}

// A glTF node: translation, rotation quaternion (x, y, z, w), scale, the
// mesh it shows (-1 for none) and its children.
struct SGltfNode {
  Vec3 translation;
  std::array<double, 4> rotation;
  Vec3 scale;
  int mesh;
  std::vector<int> children;
};

// A .gltf whose meshes are `boxes`, each its own buffer view pair inside one
// embedded base64 buffer; node 0 is the scene's root.
inline std::string BoxesAsGltf(const std::vector<SBoxModel>& boxes, const std::vector<SGltfNode>& nodes) {
  std::string buffer, views, accessors, meshes;
  for (size_t b = 0; b < boxes.size(); ++b) {
    const SBoxModel& m = boxes[b];
    const size_t posOffset = buffer.size();
    Vec3 lo = m.corners[0], hi = m.corners[0];
    for (const Vec3& c : m.corners)
      for (int k = 0; k < 3; ++k) {
        PutF32(buffer, (float)c[k]);
        lo[k] = std::min(lo[k], c[k]);
        hi[k] = std::max(hi[k], c[k]);
      }
    const size_t indexOffset = buffer.size();
    for (const auto& t : m.triangles)
      for (uint32_t i : t) PutU32(buffer, i);
    const std::string sep = b ? "," : "";
    views += sep + "{\"buffer\":0,\"byteOffset\":" + std::to_string(posOffset) + ",\"byteLength\":96}," +
             "{\"buffer\":0,\"byteOffset\":" + std::to_string(indexOffset) +
             ",\"byteLength\":" + std::to_string(m.triangles.size() * 12) + "}";
    accessors += sep + "{\"bufferView\":" + std::to_string(2 * b) +
                 ",\"componentType\":5126,\"count\":8,\"type\":\"VEC3\",\"min\":[" + Num(lo[0]) + "," +
                 Num(lo[1]) + "," + Num(lo[2]) + "],\"max\":[" + Num(hi[0]) + "," + Num(hi[1]) + "," +
                 Num(hi[2]) + "]}," + "{\"bufferView\":" + std::to_string(2 * b + 1) +
                 ",\"componentType\":5125,\"count\":" + std::to_string(m.triangles.size() * 3) +
                 ",\"type\":\"SCALAR\"}";
    meshes += sep + "{\"primitives\":[{\"attributes\":{\"POSITION\":" + std::to_string(2 * b) +
              "},\"indices\":" + std::to_string(2 * b + 1) + "}]}";
  }
  std::string nodeText;
  for (size_t n = 0; n < nodes.size(); ++n) {
    const SGltfNode& node = nodes[n];
    nodeText += (n ? "," : "");
    nodeText += "{\"translation\":[" + Num(node.translation[0]) + "," + Num(node.translation[1]) + "," +
                Num(node.translation[2]) + "],\"rotation\":[" + Num(node.rotation[0]) + "," +
                Num(node.rotation[1]) + "," + Num(node.rotation[2]) + "," + Num(node.rotation[3]) +
                "],\"scale\":[" + Num(node.scale[0]) + "," + Num(node.scale[1]) + "," + Num(node.scale[2]) +
                "]";
    if (node.mesh >= 0) nodeText += ",\"mesh\":" + std::to_string(node.mesh);
    if (!node.children.empty()) {
      nodeText += ",\"children\":[";
      for (size_t c = 0; c < node.children.size(); ++c)
        nodeText += (c ? "," : "") + std::to_string(node.children[c]);
      nodeText += "]";
    }
    nodeText += "}";
  }
  return "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],\"nodes\":[" + nodeText +
         "],\"meshes\":[" + meshes + "],\"accessors\":[" + accessors + "],\"bufferViews\":[" + views +
         "],\"buffers\":[{\"byteLength\":" + std::to_string(buffer.size()) +
         ",\"uri\":\"data:application/octet-stream;base64," + Base64(buffer) + "\"}]}";
}

// A world file read back with the viewer's parser.
struct SParsedWorld {
  std::vector<Vec3> vertices;
  std::vector<std::array<uint32_t, 3>> triangles;
  std::vector<std::array<float, 2>> texVertices;
  std::vector<std::array<uint32_t, 3>> texTriangles;
};

inline ::testing::AssertionResult ParseWorldBytes(const std::string& bytes, SParsedWorld& out) {
  SWorldView w;
  std::string error;
  if (!ParseWorld((const unsigned char*)bytes.data(), bytes.size(), w, error))
    return ::testing::AssertionFailure() << "the viewer's parser refuses the file: " << error;
  if (w.qwUsedBytes != bytes.size())
    return ::testing::AssertionFailure() << (bytes.size() - w.qwUsedBytes) << " trailing bytes";
  out = SParsedWorld();
  for (int32_t i = 0; i < w.iVertexCount; ++i)
    out.vertices.push_back({ReadWorldFloat(w.pVertices + 12 * i), ReadWorldFloat(w.pVertices + 12 * i + 4),
                            ReadWorldFloat(w.pVertices + 12 * i + 8)});
  for (int32_t t = 0; t < w.iTriangleCount; ++t) {
    out.triangles.push_back({ReadWorldUint(w.pIndices + 12 * t), ReadWorldUint(w.pIndices + 12 * t + 4),
                             ReadWorldUint(w.pIndices + 12 * t + 8)});
    out.texTriangles.push_back({ReadWorldUint(w.pTTriangles + 12 * t),
                                ReadWorldUint(w.pTTriangles + 12 * t + 4),
                                ReadWorldUint(w.pTTriangles + 12 * t + 8)});
  }
  for (uint32_t i = 0; i < w.dwNumTVerts; ++i)
    out.texVertices.push_back(
        {ReadWorldFloat(w.pTVertices + 8 * i), ReadWorldFloat(w.pTVertices + 8 * i + 4)});
  return ::testing::AssertionSuccess();
}

inline void WorldBounds(const SParsedWorld& w, Vec3& lo, Vec3& hi) {
  lo = hi = w.vertices.at(0);
  for (const Vec3& v : w.vertices)
    for (int k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], v[k]);
      hi[k] = std::max(hi[k], v[k]);
    }
}

inline Vec3 Sub(Vec3 a, Vec3 b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline Vec3 Cross(Vec3 a, Vec3 b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline double Dot(Vec3 a, Vec3 b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// For a model made of convex pieces: every triangle's normal from its
// winding (the viewer's front side) points away from the centre of the
// piece it belongs to. `centreOf` names that centre for a triangle's corner.
template <typename CentreOf>
::testing::AssertionResult WindingPointsOutward(const SParsedWorld& w, CentreOf centreOf) {
  for (size_t t = 0; t < w.triangles.size(); ++t) {
    const auto& tri = w.triangles[t];
    Vec3 a = w.vertices[tri[0]], b = w.vertices[tri[1]], c = w.vertices[tri[2]];
    Vec3 n = Cross(Sub(b, a), Sub(c, a));
    Vec3 mid = {(a[0] + b[0] + c[0]) / 3, (a[1] + b[1] + c[1]) / 3, (a[2] + b[2] + c[2]) / 3};
    if (Dot(n, Sub(mid, centreOf(a))) <= 0)
      return ::testing::AssertionFailure() << "triangle " << t << " faces inward";
  }
  return ::testing::AssertionSuccess();
}

// What running the binary gave.
struct SRun {
  int status;
  std::string out;
  std::string err;
};

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs vantrel-convert in the working directory with `args`.
inline SRun RunConvertTool(const std::vector<std::string>& args) {
  std::string cmd = Quote(VANTREL_CONVERT_BIN);
  for (const std::string& a : args) cmd += " " + Quote(a);
  const std::string outFile = "/tmp/vantrel-convert-test-out." + std::to_string(getpid());
  const std::string errFile = "/tmp/vantrel-convert-test-err." + std::to_string(getpid());
  cmd += " >" + outFile + " 2>" + errFile + " </dev/null";
  int raw = std::system(cmd.c_str());
  SRun r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadFileBytes(outFile);
  r.err = ReadFileBytes(errFile);
  std::remove(outFile.c_str());
  std::remove(errFile.c_str());
  return r;
}

}  // namespace convert_test

#endif
