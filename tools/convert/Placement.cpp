// Placement of the converted model in the viewer's world: --fit, --scale,
// --translate and --flip-winding.
#include <algorithm>
#include <cmath>
#include <utility>

#include "Convert.h"

namespace {

struct STransform {
  float fAnchorIn[3];  // the model point that ends up at fAnchorOut (before the translation)
  float fAnchorOut[3];
  double dScale;
};

STransform PlainTransform(const SPlacement& placement) {
  STransform t = {{0, 0, 0}, {0, 0, 0}, placement.fScale};
  return t;
}

// The centre of the bounding box's bottom face stands on the target's base,
// and the box's largest side becomes the target size.
int FitTransform(const SPlacement& placement, const SBounds& b, STransform& t, std::string& error) {
  float largest = 0;
  for (int k = 0; k < 3; ++k) largest = std::max(largest, b.fMax[k] - b.fMin[k]);
  if (!(largest > 0) || !std::isfinite(largest)) {
    error = "--fit needs a model with some extent, but all its vertices lie at one point";
    return 0;
  }
  const SFitTarget target = DefaultFitTarget();
  t.fAnchorIn[0] = 0.5f * (b.fMin[0] + b.fMax[0]);
  t.fAnchorIn[1] = b.fMin[1];
  t.fAnchorIn[2] = 0.5f * (b.fMin[2] + b.fMax[2]);
  for (int k = 0; k < 3; ++k) t.fAnchorOut[k] = target.fBase[k];
  t.dScale = (double)target.fSize / largest * placement.fScale;
  return 1;
}

void Transform(const STransform& t, const float translate[3], std::vector<float>& vertices) {
  for (size_t i = 0; i < vertices.size(); i += 3)
    for (int k = 0; k < 3; ++k)
      vertices[i + k] =
          (float)(((double)vertices[i + k] - t.fAnchorIn[k]) * t.dScale + t.fAnchorOut[k] + translate[k]);
}

void FlipWinding(std::vector<uint32_t>& indices) {
  for (size_t i = 0; i + 2 < indices.size(); i += 3) std::swap(indices[i + 1], indices[i + 2]);
}

}  // namespace

// Where --fit stands a model. The viewer's camera starts at the origin looking
// along -Z; the sample scene's ground lies at y = -10, so the eye is 10 units
// above it. The one light starts at (-60, 310, 200), pitch 40, yaw 230, with
// a 90-degree square frustum: it looks down and away from the start view,
// along (-0.59, -0.64, 0.49). On the ground its view covers the region beyond
// the line from (-227, 44) to (64, 392), all of it at z > 40, so no ground
// spot is both in front of the starting camera (z < 0) and seen by the light.
// The light wins, since without it the model casts no shadow: the model
// stands in the middle of the light's view, about 150 units out from the point
// under the light along its heading, at (-170, -10, 300). A 60-unit box there,
// the largest a fitted model can be, stays within 62% of the frustum's
// half-width on every side, and its shadow, which falls away from the light,
// stays in view too; the shadow map's texels there are about 0.7 units wide.
// From the start the camera turns about 150 degrees to the left to face it
// (500 pixels of mouse motion), 345 units away.
SFitTarget DefaultFitTarget() {
  SFitTarget t = {{-170.0f, -10.0f, 300.0f}, 60.0f};
  return t;
}

int ComputeBounds(const SWorldMesh& mesh, SBounds& bounds) {
  if (mesh.vVertices.size() < 3) return 0;
  SBounds b;
  for (int k = 0; k < 3; ++k) b.fMin[k] = b.fMax[k] = mesh.vVertices[k];
  for (size_t i = 0; i < mesh.vVertices.size(); i += 3)
    for (int k = 0; k < 3; ++k) {
      const float v = mesh.vVertices[i + k];
      if (!std::isfinite(v)) return 0;
      b.fMin[k] = std::min(b.fMin[k], v);
      b.fMax[k] = std::max(b.fMax[k], v);
    }
  bounds = b;
  return 1;
}

int ApplyPlacement(const SPlacement& placement, SWorldMesh& mesh, std::string& error) {
  if (!(placement.fScale > 0) || !std::isfinite(placement.fScale)) {
    error = "the scale must be a positive number, not " + std::to_string(placement.fScale);
    return 0;
  }
  for (float v : placement.fTranslate)
    if (!std::isfinite(v)) {
      error = "the translation must be finite numbers";
      return 0;
    }
  SBounds before;
  if (!ComputeBounds(mesh, before)) {
    error = "the model has vertex coordinates that are not finite numbers";
    return 0;
  }

  STransform t = PlainTransform(placement);
  if (placement.bFit && !FitTransform(placement, before, t, error)) return 0;
  Transform(t, placement.fTranslate, mesh.vVertices);
  if (placement.bFlipWinding) FlipWinding(mesh.vIndices);

  SBounds after;
  if (!ComputeBounds(mesh, after)) {
    error = "the placement moves vertices beyond the range of 32-bit floats";
    return 0;
  }
  return 1;
}
