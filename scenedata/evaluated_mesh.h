#pragma once
// cEvaluatedMesh: what glEvalMesh2(GL_FILL, 0, columns, 0, rows) makes of the
// current two-dimensional maps and map grid, taken once from the driver through
// transform feedback into a vertex buffer and drawn from there. The driver's own
// evaluator makes the vertices; each distinct one is kept once and the triangles
// index them in their recorded order, so a draw gives the pictures evaluating
// again would, without the patch evaluated on the CPU at every draw (on a software
// renderer most of a surface's cost) or a shared corner shaded for every triangle.
//
// Positions and texture coordinate set 0 are kept, as (x, y, z, w) and (s, t, r, q);
// normals and colours are not, so it serves a program that reads only gl_Vertex and
// gl_MultiTexCoord0. Needs GL_EXT_transform_feedback; without it Capture returns
// false and the caller goes on evaluating. Main thread, context current; the buffer
// lives until the context ends.
#include <cstdint>

namespace VantorGL {

class cEvaluatedMesh {
 public:
  // Evaluates the mesh once, with nothing drawn. Call with the maps and the grid
  // defined and texture unit 0 active; the program in use and every other state
  // it touches are left as they were, save the current vertex attributes the
  // evaluator sets. False when the driver cannot capture it.
  bool Capture(int32_t columns, int32_t rows);
  bool IsCaptured() const { return buffer_ != 0; }
  // The captured mesh, with the state of the moment (program, textures, matrices).
  void Draw() const;

 private:
  void ShareCorners();

  uint32_t buffer_ = 0;   // each corner once
  uint32_t indices_ = 0;  // three a triangle
  int32_t count_ = 0;     // indices
  int32_t corners_ = 0;
  bool failed_ = false;   // tried once and could not: not tried again
};

}  // namespace VantorGL
