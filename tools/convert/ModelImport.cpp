// Model import through Assimp: every mesh instance of the node tree, moved
// into world space, as one triangle list.
#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Convert.h"
#include "WorldFile.h"

namespace {

// The viewer computes its own face normals and ignores everything else but
// positions and the first UV channel; dropping the rest before joining lets
// corners that differ only in normals or colours become one vertex.
const unsigned kDroppedComponents =
    aiComponent_NORMALS | aiComponent_TANGENTS_AND_BITANGENTS | aiComponent_COLORS | aiComponent_BONEWEIGHTS |
    aiComponent_ANIMATIONS | aiComponent_LIGHTS | aiComponent_CAMERAS | aiComponent_TEXCOORDSn(1) |
    aiComponent_TEXCOORDSn(2) | aiComponent_TEXCOORDSn(3) | aiComponent_TEXCOORDSn(4) |
    aiComponent_TEXCOORDSn(5) | aiComponent_TEXCOORDSn(6);  // channel 7's flag would be 1u << 32

// No validation step: it refuses a whole model for one mesh of points or
// lines, which this tool skips. CountInstances checks what is used instead.
const unsigned kImportSteps =
    aiProcess_RemoveComponent | aiProcess_Triangulate | aiProcess_JoinIdenticalVertices;

std::string Extension(const std::string& path) {
  size_t slash = path.find_last_of('/');
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return path.substr(dot);
}

int CheckReadable(const std::string& path, std::string& error) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    error = path + ": " + std::strerror(errno);
    return 0;
  }
  if (S_ISDIR(st.st_mode)) {
    error = path + ": is a folder, not a model file";
    return 0;
  }
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = path + ": " + std::strerror(errno);
    return 0;
  }
  std::fclose(f);
  if (st.st_size == 0) {
    error = path + ": the file is empty";
    return 0;
  }
  return 1;
}

// The viewer's binary World.obj shares the Wavefront extension; read as text
// it would give nonsense or nothing, so say what it is instead. A text file
// is told apart by its first four bytes: as a vertex count they ask for far
// more bytes than it has.
int CheckNotWorldFile(const std::string& path, std::string& error) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 1;
  unsigned char head[4];
  const bool haveHead = std::fread(head, 1, 4, f) == 4;
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  std::fclose(f);
  if (!haveHead || size < 0 || 12 + 12 * (uint64_t)ReadWorldUint(head) > (uint64_t)size) return 1;

  std::vector<unsigned char> bytes;
  SWorldView w;
  std::string ignored;
  if (ReadWholeFile(path, bytes, ignored) && ParseWorld(bytes.data(), bytes.size(), w, ignored) &&
      w.qwUsedBytes == bytes.size() && w.iTriangleCount > 0) {
    error = path + ": is already a world file for the viewer, not a model (--info describes it)";
    return 0;
  }
  return 1;
}

int CheckFormat(const Assimp::Importer& importer, const std::string& path, std::string& error) {
  std::string ext = Extension(path);
  if (ext.empty()) {
    error = path + ": no file extension, so the model format is unknown (see --help for the formats)";
    return 0;
  }
  if (!importer.IsExtensionSupported(ext)) {
    error = path + ": unknown model format \"" + ext + "\" (see --help for the formats)";
    return 0;
  }
  return 1;
}

uint64_t TriangleCount(const aiMesh* mesh) {
  uint64_t n = 0;
  for (unsigned f = 0; f < mesh->mNumFaces; ++f)
    if (mesh->mFaces[f].mNumIndices == 3) ++n;
  return n;
}

bool TrianglesAreValid(const aiMesh* mesh) {
  if (!mesh->mVertices || !mesh->mFaces) return false;
  for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
    const aiFace& face = mesh->mFaces[f];
    if (face.mNumIndices != 3) continue;
    for (int c = 0; c < 3; ++c)
      if (face.mIndices[c] >= mesh->mNumVertices) return false;
  }
  return true;
}

// Totals over every mesh instance, so the counts can be checked before any
// memory is taken for them.
struct STotals {
  uint64_t qwVertices = 0;
  uint64_t qwTriangles = 0;
  bool bHasTexCoords = false;
  bool bValid = true;  // every mesh reference and corner index is in range
};

void CountInstances(const aiScene* scene, const aiNode* node, STotals& totals) {
  for (unsigned i = 0; i < node->mNumMeshes; ++i) {
    if (node->mMeshes[i] >= scene->mNumMeshes) {
      totals.bValid = false;
      continue;
    }
    const aiMesh* mesh = scene->mMeshes[node->mMeshes[i]];
    uint64_t triangles = TriangleCount(mesh);
    if (triangles == 0) continue;
    if (!TrianglesAreValid(mesh)) totals.bValid = false;
    totals.qwVertices += mesh->mNumVertices;
    totals.qwTriangles += triangles;
    if (mesh->HasTextureCoords(0)) totals.bHasTexCoords = true;
  }
  for (unsigned c = 0; c < node->mNumChildren; ++c) CountInstances(scene, node->mChildren[c], totals);
}

void AppendInstance(const aiMesh* mesh, const aiMatrix4x4& world, bool withTexCoords, SWorldMesh& out) {
  const uint32_t first = (uint32_t)(out.vVertices.size() / 3);
  for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
    aiVector3D p = world * mesh->mVertices[v];
    out.vVertices.insert(out.vVertices.end(), {p.x, p.y, p.z});
    if (!withTexCoords) continue;
    if (mesh->HasTextureCoords(0))
      out.vTexCoords.insert(out.vTexCoords.end(),
                            {mesh->mTextureCoords[0][v].x, mesh->mTextureCoords[0][v].y});
    else
      out.vTexCoords.insert(out.vTexCoords.end(), {0.0f, 0.0f});
  }
  // A mirroring transform turns counter-clockwise corners clockwise: swap two
  // corners back so the front faces stay the outside.
  const bool mirrored = world.Determinant() < 0;
  for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
    const aiFace& face = mesh->mFaces[f];
    if (face.mNumIndices != 3) continue;  // points and lines have no surface
    const unsigned* c = face.mIndices;
    if (mirrored)
      out.vIndices.insert(out.vIndices.end(), {first + c[0], first + c[2], first + c[1]});
    else
      out.vIndices.insert(out.vIndices.end(), {first + c[0], first + c[1], first + c[2]});
  }
}

void FlattenNode(const aiScene* scene, const aiNode* node, const aiMatrix4x4& parent, bool withTexCoords,
                 SWorldMesh& out) {
  const aiMatrix4x4 world = parent * node->mTransformation;
  for (unsigned i = 0; i < node->mNumMeshes; ++i) {
    const aiMesh* mesh = scene->mMeshes[node->mMeshes[i]];
    if (TriangleCount(mesh) > 0) AppendInstance(mesh, world, withTexCoords, out);
  }
  for (unsigned c = 0; c < node->mNumChildren; ++c)
    FlattenNode(scene, node->mChildren[c], world, withTexCoords, out);
}

}  // namespace

int CheckWorldCounts(uint64_t vertexCount, uint64_t triangleCount, std::string& error) {
  const uint64_t maxVertices = 0x7fffffffu;       // V is a signed 32-bit count
  const uint64_t maxTriangles = 0x7fffffffu / 3;  // and so is the index count 3T
  if (vertexCount <= maxVertices && triangleCount <= maxTriangles) return 1;
  error = "the model is too large for World.obj: " + std::to_string(vertexCount) + " vertices and " +
          std::to_string(triangleCount) + " triangles, but its 32-bit counts allow at most " +
          std::to_string(maxVertices) + " vertices and " + std::to_string(maxTriangles) + " triangles";
  return 0;
}

std::string SupportedModelExtensions() {
  Assimp::Importer importer;
  std::string list;
  importer.GetExtensionList(list);
  return list;
}

int ImportModel(const std::string& path, SWorldMesh& mesh, std::string& error) {
  if (!CheckReadable(path, error)) return 0;
  Assimp::Importer importer;
  if (!CheckFormat(importer, path, error)) return 0;
  if (strcasecmp(Extension(path).c_str(), ".obj") == 0 && !CheckNotWorldFile(path, error)) return 0;

  importer.SetPropertyInteger(AI_CONFIG_PP_RVC_FLAGS, (int)kDroppedComponents);
  const aiScene* scene = importer.ReadFile(path, kImportSteps);
  if (!scene || !scene->mRootNode) {
    error = path + ": cannot read the model: " + importer.GetErrorString();
    return 0;
  }

  STotals totals;
  CountInstances(scene, scene->mRootNode, totals);
  if (!totals.bValid) {
    error = path + ": cannot read the model: the importer returned a face or mesh reference out of range";
    return 0;
  }
  if (totals.qwTriangles == 0) {
    error = path + ": the model has no triangles";
    return 0;
  }
  if (!CheckWorldCounts(totals.qwVertices, totals.qwTriangles, error)) {
    error = path + ": " + error;
    return 0;
  }

  SWorldMesh out;
  out.vVertices.reserve(totals.qwVertices * 3);
  out.vIndices.reserve(totals.qwTriangles * 3);
  if (totals.bHasTexCoords) out.vTexCoords.reserve(totals.qwVertices * 2);
  FlattenNode(scene, scene->mRootNode, aiMatrix4x4(), totals.bHasTexCoords, out);
  mesh = std::move(out);
  return 1;
}
