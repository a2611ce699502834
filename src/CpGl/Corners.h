// Geometry compilation in two halves, shared by CompileObjects and the scene
// loader: the loader expands straight from World.obj's bytes, so the indexed
// mesh is never copied into per-vertex arrays that would be thrown away.
#ifndef VANTREL_CORNERS_H
#define VANTREL_CORNERS_H

#include "CpGl.h"

// The indexed mesh to expand. Vertices are records of three floats and
// indices 4-byte integers, as they lie in memory on this (little-endian)
// machine: in World.obj's bytes or in the renderer's own arrays alike.
struct SCornerSource {
  const unsigned char* pVertices;
  const unsigned char* pIndices;  // may be the first object's index array itself
  const Vector2f* pTexCoords;     // per vertex; null: vertex j has (j mod 2, j mod 3)
};

// Writes "Compiling Objects", makes the per-corner positions, texture
// coordinates and face normals of the first object's iIndexCount corners,
// renumbers its index array to 0, 1, 2, ... and puts the new arrays and counts
// in the renderer. The arrays they replace are the caller's to release.
void ExpandCorners(CCpGl& gl, const SCornerSource& source);

// Fills the three buffers from the per-corner arrays (which may become their
// storage: the arrays must then live as long as the buffers, as they do), ties
// the client arrays to them, and writes the error lines and "Objects Compiled".
void UploadCorners(CCpGl& gl);

#endif
