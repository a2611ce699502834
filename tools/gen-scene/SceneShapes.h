// Closed shapes made of quad grids, written so that the viewer's made-up
// texture coordinates tile them.
//
// The viewer ignores the file's texture coordinates: vertex j gets
// (j mod 2, j mod 3). The builder therefore writes vertices in blocks of six
// covering two quads stacked along the grid's t direction, in the slots that
// give each quad one whole texture tile:
//
//   slot 2 (0,2) ---- slot 5 (1,2)
//        |    upper quad    |
//   slot 4 (0,1) ---- slot 1 (1,1)
//        |    lower quad    |
//   slot 0 (0,0) ---- slot 3 (1,0)
//
// u runs along s and v along t, so a surface whose dP/ds x dP/dt points
// outwards gets counter-clockwise front faces and an unmirrored texture.
// Every mesh keeps its vertex count a multiple of six, so meshes can be
// appended one after another without shifting the pattern.
#ifndef VANTREL_SCENESHAPES_H
#define VANTREL_SCENESHAPES_H

#include <functional>

#include "SceneGen.h"

struct SPoint {
  double x, y, z;
};

SPoint operator+(SPoint a, SPoint b);
SPoint operator-(SPoint a, SPoint b);
SPoint operator*(SPoint a, double f);
SPoint Cross(SPoint a, SPoint b);
double Dot(SPoint a, SPoint b);
double Length(SPoint a);

// Where a shape stands: a rotation (yaw about y after a tilt about x, both
// right-handed, in degrees) and the origin its local coordinates start from.
struct SFrame {
  double m[3][3];
  SPoint sOrigin;
};

SFrame MakeFrame(SPoint origin, double yawDeg = 0.0, double tiltDeg = 0.0);
SPoint ApplyFrame(const SFrame& frame, SPoint local);

// A surface over s, t in [0, 1], in the shape's local coordinates.
using Surface = std::function<SPoint(double s, double t)>;

class CMeshBuilder {
 public:
  CMeshBuilder(SMesh* mesh, const SFrame& frame);

  // ns x nt quads; triangles that collapse (at a pole, a cone's tip, a
  // disc's centre) are left out.
  void AddSurface(const Surface& surface, int ns, int nt);
  // A flat rectangle from `corner` along e1 (s) and e2 (t), cut into cells
  // of about `cell` units.
  void AddParallelogram(SPoint corner, SPoint e1, SPoint e2, double cell);
  void AddBox(SPoint min, SPoint max, double cell);
  // Upright, standing on `base`; `segments` around.
  void AddCylinder(SPoint base, double radius, double height, int segments);
  void AddCone(SPoint base, double radius, double height, int segments);
  // `segments` around, half as many from pole to pole.
  void AddSphere(SPoint center, double radius, int segments);
  // Around the local y axis: `segments` around the ring, `sides` around the tube.
  void AddTorus(SPoint center, double major, double minor, int segments, int sides);
  // Two legs and a half ring in the local x-y plane, `depth` deep along z,
  // centred on `base` at the foot; the half ring starts at height `spring`.
  void AddArch(SPoint base, double inner, double outer, double spring, double depth, double cell);

 private:
  void AddDisc(SPoint center, double radius, int segments, bool facingUp);
  void EmitBlock(const SPoint corners[6], bool hasUpper);
  void EmitTriangle(uint32_t a, uint32_t b, uint32_t c);

  SMesh* pMesh;
  SFrame sFrame;
};

#endif
