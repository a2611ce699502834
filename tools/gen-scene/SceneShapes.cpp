#include "SceneShapes.h"

#include <algorithm>
#include <cmath>

namespace {

const double kPi = 3.14159265358979323846;

int Cells(double length, double cell) { return std::max(1, (int)std::lround(length / cell)); }

SPoint Unit(double x, double y, double z) { return SPoint{x, y, z}; }

}  // namespace

SPoint operator+(SPoint a, SPoint b) { return SPoint{a.x + b.x, a.y + b.y, a.z + b.z}; }
SPoint operator-(SPoint a, SPoint b) { return SPoint{a.x - b.x, a.y - b.y, a.z - b.z}; }
SPoint operator*(SPoint a, double f) { return SPoint{a.x * f, a.y * f, a.z * f}; }
SPoint Cross(SPoint a, SPoint b) {
  return SPoint{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(SPoint a, SPoint b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Length(SPoint a) { return std::sqrt(Dot(a, a)); }

SFrame MakeFrame(SPoint origin, double yawDeg, double tiltDeg) {
  double a = yawDeg * kPi / 180.0, b = tiltDeg * kPi / 180.0;
  double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
  // Ry(yaw) * Rx(tilt)
  SFrame f = {{{ca, sa * sb, sa * cb}, {0.0, cb, -sb}, {-sa, ca * sb, ca * cb}}, origin};
  return f;
}

SPoint ApplyFrame(const SFrame& f, SPoint p) {
  return SPoint{f.sOrigin.x + f.m[0][0] * p.x + f.m[0][1] * p.y + f.m[0][2] * p.z,
                f.sOrigin.y + f.m[1][0] * p.x + f.m[1][1] * p.y + f.m[1][2] * p.z,
                f.sOrigin.z + f.m[2][0] * p.x + f.m[2][1] * p.y + f.m[2][2] * p.z};
}

CMeshBuilder::CMeshBuilder(SMesh* mesh, const SFrame& frame) : pMesh(mesh), sFrame(frame) {}

void CMeshBuilder::AddSurface(const Surface& surface, int ns, int nt) {
  for (int i = 0; i < ns; ++i) {
    double s0 = (double)i / ns, s1 = (double)(i + 1) / ns;
    for (int k = 0; k < nt; k += 2) {
      bool hasUpper = k + 1 < nt;
      double t0 = (double)k / nt, t1 = (double)(k + 1) / nt;
      double t2 = hasUpper ? (double)(k + 2) / nt : t1;
      // Slots 0..5 as drawn in the header: left/right corners of three rows.
      SPoint corners[6] = {surface(s0, t0), surface(s1, t1), surface(s0, t2),
                           surface(s1, t0), surface(s0, t1), surface(s1, t2)};
      EmitBlock(corners, hasUpper);
    }
  }
}

void CMeshBuilder::EmitBlock(const SPoint corners[6], bool hasUpper) {
  uint32_t first = pMesh->VertexCount();
  for (int slot = 0; slot < 6; ++slot) {
    SPoint p = ApplyFrame(sFrame, corners[slot]);
    pMesh->vPositions.push_back((float)p.x);
    pMesh->vPositions.push_back((float)p.y);
    pMesh->vPositions.push_back((float)p.z);
  }
  EmitTriangle(first + 0, first + 3, first + 1);
  EmitTriangle(first + 0, first + 1, first + 4);
  if (!hasUpper) return;
  EmitTriangle(first + 4, first + 1, first + 5);
  EmitTriangle(first + 4, first + 5, first + 2);
}

void CMeshBuilder::EmitTriangle(uint32_t a, uint32_t b, uint32_t c) {
  // Judged on the stored floats, as the viewer will compute its normal.
  const float* v = pMesh->vPositions.data();
  SPoint pa = {v[3 * a], v[3 * a + 1], v[3 * a + 2]};
  SPoint pb = {v[3 * b], v[3 * b + 1], v[3 * b + 2]};
  SPoint pc = {v[3 * c], v[3 * c + 1], v[3 * c + 2]};
  SPoint e1 = pb - pa, e2 = pc - pa;
  if (Length(Cross(e1, e2)) <= 1e-6 * Length(e1) * Length(e2)) return;
  pMesh->vIndices.push_back(a);
  pMesh->vIndices.push_back(b);
  pMesh->vIndices.push_back(c);
}

void CMeshBuilder::AddParallelogram(SPoint corner, SPoint e1, SPoint e2, double cell) {
  AddSurface([=](double s, double t) { return corner + e1 * s + e2 * t; }, Cells(Length(e1), cell),
             Cells(Length(e2), cell));
}

void CMeshBuilder::AddBox(SPoint lo, SPoint hi, double cell) {
  SPoint dx = Unit(hi.x - lo.x, 0, 0), dy = Unit(0, hi.y - lo.y, 0), dz = Unit(0, 0, hi.z - lo.z);
  // Each face's e1 x e2 points out of the box.
  AddParallelogram(lo + dx, dy, dz, cell);  // +x
  AddParallelogram(lo, dz, dy, cell);       // -x
  AddParallelogram(lo + dy, dz, dx, cell);  // +y
  AddParallelogram(lo, dx, dz, cell);       // -y
  AddParallelogram(lo + dz, dx, dy, cell);  // +z
  AddParallelogram(lo, dy, dx, cell);       // -z
}

void CMeshBuilder::AddDisc(SPoint c, double r, int segments, bool facingUp) {
  auto at = [=](double rho, double phi) {
    return c + Unit(rho * r * std::cos(2 * kPi * phi), 0, -rho * r * std::sin(2 * kPi * phi));
  };
  if (facingUp)
    AddSurface([=](double s, double t) { return at(s, t); }, 1, segments);
  else
    AddSurface([=](double s, double t) { return at(t, s); }, segments, 1);
}

void CMeshBuilder::AddCylinder(SPoint base, double r, double h, int segments) {
  // Rows about twice as tall as a segment is wide keep the tiles near square.
  int rows = Cells(h, 2.0 * (2 * kPi * r / segments));
  AddSurface(
      [=](double s, double t) {
        return base + Unit(r * std::cos(2 * kPi * s), h * t, -r * std::sin(2 * kPi * s));
      },
      segments, rows);
  AddDisc(base + Unit(0, h, 0), r, segments, true);
  AddDisc(base, r, segments, false);
}

void CMeshBuilder::AddCone(SPoint base, double r, double h, int segments) {
  int rows = Cells(std::hypot(r, h), 2.0 * (2 * kPi * r / segments));
  AddSurface(
      [=](double s, double t) {
        double rr = r * (1.0 - t);
        return base + Unit(rr * std::cos(2 * kPi * s), h * t, -rr * std::sin(2 * kPi * s));
      },
      segments, rows);
  AddDisc(base, r, segments, false);
}

void CMeshBuilder::AddSphere(SPoint c, double r, int segments) {
  AddSurface(
      [=](double s, double t) {
        double phi = 2 * kPi * s, theta = kPi * (t - 0.5);
        return c + Unit(r * std::cos(theta) * std::cos(phi), r * std::sin(theta),
                        -r * std::cos(theta) * std::sin(phi));
      },
      segments, segments / 2);
}

void CMeshBuilder::AddTorus(SPoint c, double major, double minor, int segments, int sides) {
  AddSurface(
      [=](double s, double t) {
        double phi = 2 * kPi * s, psi = 2 * kPi * t;
        double ring = major + minor * std::cos(psi);
        return c + Unit(ring * std::cos(phi), minor * std::sin(psi), -ring * std::sin(phi));
      },
      segments, sides);
}

void CMeshBuilder::AddArch(SPoint base, double inner, double outer, double spring, double depth,
                           double cell) {
  double width = outer - inner, mid = 0.5 * (inner + outer), half = 0.5 * depth;
  AddBox(base + Unit(-mid - 0.5 * width, 0, -half), base + Unit(-mid + 0.5 * width, spring, half), cell);
  AddBox(base + Unit(mid - 0.5 * width, 0, -half), base + Unit(mid + 0.5 * width, spring, half), cell);

  SPoint centre = base + Unit(0, spring, 0);
  int around = std::max(8, Cells(kPi * mid, cell));
  int deep = Cells(depth, cell), across = Cells(width, cell);
  auto at = [=](double rho, double theta, double z) {
    return centre + Unit(rho * std::cos(kPi * theta), rho * std::sin(kPi * theta), z);
  };
  auto rho = [=](double f) { return inner + width * f; };
  auto zAt = [=](double f) { return -half + depth * f; };
  AddSurface([=](double s, double t) { return at(outer, s, zAt(t)); }, around, deep);     // outer
  AddSurface([=](double s, double t) { return at(inner, t, zAt(s)); }, deep, around);     // inner
  AddSurface([=](double s, double t) { return at(rho(s), t, half); }, across, around);    // front
  AddSurface([=](double s, double t) { return at(rho(t), s, -half); }, around, across);   // back
  AddSurface([=](double s, double t) { return at(rho(s), 0.0, zAt(t)); }, across, deep);  // on the right leg
  AddSurface([=](double s, double t) { return at(rho(t), 1.0, zAt(s)); }, deep, across);  // on the left leg
}
