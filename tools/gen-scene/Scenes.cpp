#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "SceneGen.h"
#include "SceneShapes.h"

namespace {

const double kPi = 3.14159265358979323846;

// The ground covers where the starting camera looks (along -z) and where the
// default light looks (towards -x, +z, behind the camera's start).
const double kGroundMinX = -800.0, kGroundMaxX = 400.0;
const double kGroundMinZ = -600.0, kGroundMaxZ = 800.0;
const double kGroundCell = 25.0;  // one texture repeat per ground cell
const double kCell = 12.5;        // one texture repeat per cell of an object

// The default light: position, pitch, yaw; its frustum is 90 degrees wide.
const double kLightPos[3] = {-60.0, 310.0, 200.0};
const double kLightPitch = 40.0, kLightYaw = 230.0;

// Yaw that turns an object's local +z along the default light's heading, so
// that its local x-y faces look at the light.
const double kFaceLight = 180.0 - kLightYaw;

// glRotate(pitch, x) * glRotate(yaw, y) * (p - eye), as the viewer builds views.
SPoint ViewSpace(SPoint p, SPoint eye, double pitchDeg, double yawDeg) {
  double a = pitchDeg * kPi / 180.0, b = yawDeg * kPi / 180.0;
  SPoint d = p - eye;
  double x = std::cos(b) * d.x + std::sin(b) * d.z;
  double z = -std::sin(b) * d.x + std::cos(b) * d.z;
  return SPoint{x, std::cos(a) * d.y - std::sin(a) * z, std::sin(a) * d.y + std::cos(a) * z};
}

// Both frustums are 0.2 x 0.2 at the near plane 0.1: 45 degrees each side.
bool InFrustum(SPoint e) {
  double depth = -e.z;
  return depth > 0.1 && depth < 1000.0 && std::fabs(e.x) <= depth && std::fabs(e.y) <= depth;
}

SSceneObject Ground(double minX, double maxX, double minZ, double maxZ, int nx, int nz) {
  SSceneObject ground = {"ground", false, {}};
  CMeshBuilder b(&ground.sMesh, MakeFrame({0, 0, 0}));
  // s along z, t along x: z x x = +y, so the faces look up.
  b.AddSurface(
      [=](double s, double t) {
        return SPoint{minX + (maxX - minX) * t, kGroundY, minZ + (maxZ - minZ) * s};
      },
      nz, nx);
  return ground;
}

using Build = std::function<void(CMeshBuilder&)>;

// A solid standing on the ground at (x, z), turned by `yaw` (and `tilt`).
SSceneObject Solid(const std::string& name, double x, double z, double yaw, const Build& build,
                   double tilt = 0.0) {
  SSceneObject object = {name, true, {}};
  CMeshBuilder b(&object.sMesh, MakeFrame({x, kGroundY, z}, yaw, tilt));
  build(b);
  return object;
}

SSceneObject Box(const std::string& name, double x, double z, double yaw, double w, double h, double d,
                 double lift = 0.0) {
  return Solid(name, x, z, yaw, [=](CMeshBuilder& b) {
    b.AddBox({-w / 2, lift, -d / 2}, {w / 2, lift + h, d / 2}, kCell);
  });
}

SSceneObject Column(const std::string& name, double x, double z, double r, double h, int segments = 16) {
  return Solid(name, x, z, 0.0, [=](CMeshBuilder& b) { b.AddCylinder({0, 0, 0}, r, h, segments); });
}

SSceneObject Cone(const std::string& name, double x, double z, double yaw, double r, double h, int segments,
                  double lift = 0.0) {
  return Solid(name, x, z, yaw, [=](CMeshBuilder& b) { b.AddCone({0, lift, 0}, r, h, segments); });
}

SSceneObject Ball(const std::string& name, double x, double z, double r, double lift = 0.0) {
  return Solid(name, x, z, 0.0, [=](CMeshBuilder& b) { b.AddSphere({0, lift + r, 0}, r, 24); });
}

// A ring lying on the ground, or standing up (tilted about x) and turned by `yaw`.
SSceneObject Ring(const std::string& name, double x, double z, double yaw, bool standing, double major,
                  double minor) {
  double lift = standing ? major + minor : minor;
  return Solid(
      name, x, z, yaw,
      [=](CMeshBuilder& b) {
        b.AddTorus({0, standing ? 0 : lift, standing ? -lift : 0}, major, minor, 24, 12);
      },
      standing ? 90.0 : 0.0);
}

SSceneObject Arch(const std::string& name, double x, double z, double yaw, double inner, double outer,
                  double spring, double depth) {
  return Solid(name, x, z, yaw, [=](CMeshBuilder& b) {
    b.AddArch({0, 0, 0}, inner, outer, spring, depth, kCell);
  });
}

// Steps rising along local +x, each a block from the ground up.
SSceneObject Stairs(const std::string& name, double x, double z, double yaw, int steps, double run,
                    double rise, double width) {
  return Solid(name, x, z, yaw, [=](CMeshBuilder& b) {
    for (int i = 0; i < steps; ++i)
      b.AddBox({run * i, 0, -width / 2}, {run * (i + 1), rise * (i + 1), width / 2}, kCell);
  });
}

// A spot on the ground `out` units from under the default light along its
// heading and `right` units to the right as the light sees it.
SPoint LitSpot(double out, double right) {
  double q = kLightYaw * kPi / 180.0;
  return SPoint{kLightPos[0] + out * std::sin(q) + right * std::cos(q), 0.0,
                kLightPos[2] - out * std::cos(q) + right * std::sin(q)};
}

// In the default light's view: tall and small things, shapes with holes, and
// a wall and blocks farther out that catch the shadows of those in front.
void AddLitObjects(std::vector<SSceneObject>& scene) {
  SPoint p = LitSpot(130, 0);
  scene.push_back(Box("lit crate", p.x, p.z, kFaceLight + 30, 20, 20, 20));
  p = LitSpot(180, 0);
  scene.push_back(Column("tower", p.x, p.z, 10, 120));
  p = LitSpot(245, 0);
  scene.push_back(Box("crate in the tower's shadow", p.x, p.z, kFaceLight, 16, 16, 16));
  p = LitSpot(250, 90);
  scene.push_back(Stairs("lit stairs", p.x, p.z, kFaceLight + 90, 6, 8, 6, 30));
  p = LitSpot(300, 40);
  scene.push_back(Cone("lit cone", p.x, p.z, 0, 15, 40, 24));
  p = LitSpot(300, -180);
  scene.push_back(Cone("spire", p.x, p.z, 0, 12, 90, 16));
  p = LitSpot(330, -60);
  scene.push_back(Arch("lit arch", p.x, p.z, kFaceLight, 20, 30, 30, 12));
  p = LitSpot(360, 120);
  scene.push_back(Ring("lying ring", p.x, p.z, 0, false, 25, 7));
  p = LitSpot(400, 40);
  scene.push_back(Box("pedestal", p.x, p.z, kFaceLight, 30, 20, 30));
  scene.push_back(Ball("ball on the pedestal", p.x, p.z, 25, 20));
  p = LitSpot(450, -100);
  scene.push_back(Ring("standing ring", p.x, p.z, kFaceLight, true, 22, 5));
  const double columnSides[3] = {50, 10, -30};
  for (int i = 0; i < 3; ++i) {
    p = LitSpot(470, columnSides[i]);
    scene.push_back(Column("lit column " + std::to_string(i + 1), p.x, p.z, 6, 60));
  }
  p = LitSpot(520, 0);
  scene.push_back(Box("wall", p.x, p.z, kFaceLight, 160, 40, 8));
  const double blockSides[6] = {160, 100, 40, -40, -110, -170};
  const double blockHeights[6] = {30, 55, 20, 70, 40, 25};
  for (int i = 0; i < 6; ++i) {
    p = LitSpot(600, blockSides[i]);
    scene.push_back(Box("block " + std::to_string(i + 1), p.x, p.z, kFaceLight, 30, blockHeights[i], 30));
  }
}

// Ahead of the starting camera, which looks along -z from 10 units above the ground.
void AddObjectsAhead(std::vector<SSceneObject>& scene) {
  scene.push_back(Box("crate", -35, -90, 20, 24, 24, 24));
  scene.push_back(Box("crate on the crate", -35, -90, 50, 12, 12, 12, 24));
  const double columnZ[4] = {-70, -130, -190, -250};
  for (int i = 0; i < 4; ++i)
    scene.push_back(Column("column " + std::to_string(i + 1), 50, columnZ[i], 5, 70));
  scene.push_back(Box("lintel", 50, -160, 0, 12, 8, 192, 70));
  scene.push_back(Ball("ball", -80, -160, 15));
  scene.push_back(Stairs("stairs", 110, -120, 90, 6, 8, 6, 30));
  scene.push_back(Cone("cone", 130, -280, 0, 15, 40, 24));
  scene.push_back(Ring("hoop", -130, -260, 0, true, 22, 6));
  scene.push_back(Arch("gate", 0, -300, 0, 25, 35, 35, 12));
  scene.push_back(Cone("pyramid", -200, -420, 45, 45, 50, 4));
  scene.push_back(Box("obelisk", -20, -520, 0, 14, 140, 14));
  // Four segments make a square pyramid; turned 45 degrees it fits the obelisk.
  scene.push_back(Cone("obelisk cap", -20, -520, 45, 7.0 * std::sqrt(2.0), 20, 4, 140));
}

// Close to the start, seen once the camera turns.
void AddObjectsAround(std::vector<SSceneObject>& scene) {
  scene.push_back(Column("post", -40, 80, 10, 30));
  scene.push_back(Box("block by the start", 60, 40, 0, 20, 40, 20));
}

// Small deterministic generator (splitmix64), the same on every platform.
class CRandom {
 public:
  explicit CRandom(uint64_t seed) : qwState(seed) {}
  double Next() {
    uint64_t z = (qwState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return (double)(z >> 11) * (1.0 / 9007199254740992.0);  // [0, 1)
  }
  double Between(double lo, double hi) { return lo + (hi - lo) * Next(); }

 private:
  uint64_t qwState;
};

struct SSpot {
  double x, z;
};

// Centres of the cells of a `cell`-wide grid over the ground that the
// default light or the starting camera sees, clear of the camera's start.
std::vector<SSpot> SpotsInView(double cell) {
  std::vector<SSpot> spots;
  for (double x = kGroundMinX + cell / 2; x < kGroundMaxX; x += cell)
    for (double z = kGroundMinZ + cell / 2; z < kGroundMaxZ; z += cell) {
      bool seen = InDefaultLightView(x, kGroundY, z) || InStartView(x, kGroundY, z);
      if (seen && std::hypot(x, z) > 0.7 * cell + 10.0) spots.push_back(SSpot{x, z});
    }
  return spots;
}

// `count` spots at least `cell` apart, in random order; `cell` comes back set.
std::vector<SSpot> ScatterSpots(size_t count, CRandom& random, double& cell) {
  cell = std::sqrt((kGroundMaxX - kGroundMinX) * (kGroundMaxZ - kGroundMinZ) / (double)count);
  std::vector<SSpot> spots = SpotsInView(cell);
  while (spots.size() < count) {
    cell *= 0.95;
    spots = SpotsInView(cell);
  }
  for (size_t i = spots.size() - 1; i > 0; --i) std::swap(spots[i], spots[(size_t)(random.Next() * (i + 1))]);
  spots.resize(count);
  return spots;
}

int EvenAtLeast(double value, int least) { return std::max(least, 2 * (int)std::lround(value / 2)); }

// A sphere or box of about `budget` triangles at a spot, on the ground or floating.
SSceneObject ScatteredObject(size_t k, SSpot spot, double cell, double budget, CRandom& random) {
  double r = std::min(40.0, 0.35 * cell) * random.Between(0.7, 1.0);
  bool floating = random.Next() >= 0.4;
  double jx = random.Between(-0.1, 0.1) * cell, jz = random.Between(-0.1, 0.1) * cell;
  if (random.Next() < 0.5) {
    double lift = floating ? random.Between(0.0, 2.0 * r) : 0.0;
    // n x n/2 quads less the 2n triangles lost at the poles.
    int segments = EvenAtLeast(1.0 + std::sqrt(1.0 + budget), 8);
    return Solid("sphere " + std::to_string(k), spot.x + jx, spot.z + jz, 0.0, [=](CMeshBuilder& b) {
      b.AddSphere({0, lift + r, 0}, r, segments);
    });
  }
  double lift = floating ? random.Between(0.0, 1.5 * r) : 0.0;
  double tall = random.Between(0.5, 2.0), yaw = random.Between(0.0, 90.0);
  // n x n quads on top and bottom, n x (tall n) on each side: n^2 (8 tall + 4) triangles.
  int n = std::max(1, (int)std::lround(std::sqrt(budget / (8.0 * tall + 4.0))));
  double boxCell = 2.0 * r / n;
  return Solid("box " + std::to_string(k), spot.x + jx, spot.z + jz, yaw, [=](CMeshBuilder& b) {
    b.AddBox({-r, lift, -r}, {r, lift + 2.0 * r * tall, r}, boxCell);
  });
}

// A ground grid of about `triangles` triangles, cells as square as the ground allows.
SSceneObject BenchmarkGround(double triangles) {
  double quads = std::max(1.0, triangles / 2.0);
  double width = kGroundMaxX - kGroundMinX, depth = kGroundMaxZ - kGroundMinZ;
  int nx = std::max(1, (int)std::lround(std::sqrt(quads * width / depth)));
  int nz = std::max(1, (int)std::lround(quads / nx));
  return Ground(kGroundMinX, kGroundMaxX, kGroundMinZ, kGroundMaxZ, nx, nz);
}

}  // namespace

std::vector<SSceneObject> BuildSampleScene() {
  std::vector<SSceneObject> scene;
  scene.push_back(Ground(kGroundMinX, kGroundMaxX, kGroundMinZ, kGroundMaxZ,
                         (int)((kGroundMaxX - kGroundMinX) / kGroundCell),
                         (int)((kGroundMaxZ - kGroundMinZ) / kGroundCell)));
  AddObjectsAhead(scene);
  AddObjectsAround(scene);
  AddLitObjects(scene);
  return scene;
}

std::vector<SSceneObject> BuildBenchmarkScene(uint32_t triangles, uint64_t seed) {
  CRandom random(seed);
  double groundShare = std::max(800.0, triangles / 10.0);
  double objectBudget = std::max(0.0, triangles - groundShare);
  size_t count = (size_t)std::clamp(objectBudget / 1200.0, 8.0, 4000.0);
  double cell = 0.0;
  std::vector<SSpot> spots = ScatterSpots(count, random, cell);

  std::vector<SSceneObject> scene(1);
  uint64_t objectTriangles = 0;
  for (size_t k = 0; k < count; ++k) {
    scene.push_back(ScatteredObject(k + 1, spots[k], cell, objectBudget / count, random));
    objectTriangles += scene.back().sMesh.TriangleCount();
  }
  // The ground takes what the objects left of the budget.
  scene[0] = BenchmarkGround(std::max(groundShare, (double)triangles - (double)objectTriangles));
  return scene;
}

bool InDefaultLightView(double x, double y, double z) {
  SPoint light = {kLightPos[0], kLightPos[1], kLightPos[2]};
  return InFrustum(ViewSpace({x, y, z}, light, kLightPitch, kLightYaw));
}

bool InStartView(double x, double y, double z) {
  return InFrustum(ViewSpace({x, y, z}, {0, 0, 0}, 0.0, 0.0));
}

SBounds MeshBounds(const SMesh& mesh) {
  SBounds b = {{0, 0, 0}, {0, 0, 0}};
  for (size_t i = 0; i < mesh.vPositions.size(); ++i) {
    double v = mesh.vPositions[i];
    int axis = (int)(i % 3);
    if (i < 3 || v < b.dMin[axis]) b.dMin[axis] = v;
    if (i < 3 || v > b.dMax[axis]) b.dMax[axis] = v;
  }
  return b;
}

SMesh MergeScene(const std::vector<SSceneObject>& objects) {
  SPoint light = {kLightPos[0], kLightPos[1], kLightPos[2]};
  std::vector<std::pair<double, size_t>> order;  // (key, object); sheets first, then far to near
  size_t vertices = 0, indices = 0;
  for (size_t i = 0; i < objects.size(); ++i) {
    const SMesh& mesh = objects[i].sMesh;
    double key = -1e300;
    if (objects[i].bSolid) {
      SBounds b = MeshBounds(mesh);
      SPoint centre = {0.5 * (b.dMin[0] + b.dMax[0]), 0.5 * (b.dMin[1] + b.dMax[1]),
                       0.5 * (b.dMin[2] + b.dMax[2])};
      key = -Length(centre - light);
    }
    order.push_back({key, i});
    vertices += mesh.vPositions.size();
    indices += mesh.vIndices.size();
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const std::pair<double, size_t>& a, const std::pair<double, size_t>& b) {
                     return a.first < b.first;
                   });

  SMesh merged;
  merged.vPositions.reserve(vertices);
  merged.vIndices.reserve(indices);
  for (const auto& entry : order) {
    const SMesh& mesh = objects[entry.second].sMesh;
    uint32_t base = merged.VertexCount();
    merged.vPositions.insert(merged.vPositions.end(), mesh.vPositions.begin(), mesh.vPositions.end());
    for (uint32_t index : mesh.vIndices) merged.vIndices.push_back(base + index);
  }
  return merged;
}
