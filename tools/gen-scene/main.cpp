// vantrel-gen-scene: writes the viewer's sample scene, or a benchmark scene
// of a chosen size, as World.obj and tex2.bmp (and a PLY copy on request).
#include <cstdio>

#include "SceneGen.h"

namespace {

void PrintBounds(const char* name, const SBounds& b, uint32_t triangles, const char* seenBy) {
  std::printf("%-28s %8u  (%7.1f %6.1f %7.1f) .. (%7.1f %6.1f %7.1f)  %s\n", name, triangles, b.dMin[0],
              b.dMin[1], b.dMin[2], b.dMax[0], b.dMax[1], b.dMax[2], seenBy);
}

const char* SeenBy(const SBounds& b) {
  double x = 0.5 * (b.dMin[0] + b.dMax[0]), y = 0.5 * (b.dMin[1] + b.dMax[1]),
         z = 0.5 * (b.dMin[2] + b.dMax[2]);
  bool light = InDefaultLightView(x, y, z), start = InStartView(x, y, z);
  return light && start ? "light, start view" : light ? "light" : start ? "start view" : "";
}

// One line per object: triangles, bounds, and whether the default light or
// the starting camera sees its centre.
void ListObjects(const std::vector<SSceneObject>& objects) {
  std::printf("%-28s %8s  %-50s  %s\n", "object", "triangles", "bounds (min .. max)", "centre seen by");
  for (const SSceneObject& object : objects) {
    SBounds b = MeshBounds(object.sMesh);
    PrintBounds(object.sName.c_str(), b, object.sMesh.TriangleCount(), object.bSolid ? SeenBy(b) : "");
  }
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "vantrel-gen-scene: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  SGenOptions options;
  std::string error;
  if (!ParseGenOptions(argc, argv, options, error)) return Fail(error);
  if (options.bHelp) {
    std::fputs(GenUsage(), stdout);
    return 0;
  }

  std::vector<SSceneObject> objects =
      options.dwTriangles ? BuildBenchmarkScene(options.dwTriangles, options.qwSeed) : BuildSampleScene();
  if (options.bList) ListObjects(objects);
  SMesh mesh = MergeScene(objects);
  objects.clear();

  if (!WriteFileWith(
          options.sWorldPath, [&](const ByteSink& sink) { return WriteWorld(mesh, sink); }, error))
    return Fail(error);
  if (!options.sPlyPath.empty() &&
      !WriteFileWith(
          options.sPlyPath, [&](const ByteSink& sink) { return WritePly(mesh, sink); }, error))
    return Fail(error);
  std::vector<unsigned char> texture = MakeTileTexture();
  if (!WriteFileWith(
          options.sTexturePath, [&](const ByteSink& sink) { return sink(texture.data(), texture.size()); },
          error))
    return Fail(error);

  std::printf("%s: %u vertices, %u triangles\n", options.sWorldPath.c_str(), mesh.VertexCount(),
              mesh.TriangleCount());
  PrintBounds("scene bounds", MeshBounds(mesh), mesh.TriangleCount(), "");
  std::printf("%s: 1024 x 1024, 24-bit\n", options.sTexturePath.c_str());
  return 0;
}
