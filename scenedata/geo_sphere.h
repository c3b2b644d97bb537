#pragma once
// Immediate-mode primitives: a geodesic sphere (an icosahedron split four ways
// three times, 1280 triangles) and a cube of edge 2 centred on the origin. Both
// emit between one glBegin and its glEnd and change no GL state apart from the
// current normal and texture coordinate they leave behind. Need a current context.
#include <cstdint>

namespace VantorGL {

// 1280 triangles on a sphere of `radius`; normals are the unit positions and the
// texture coordinates are their (x, y), running from -1 to 1.
void DrawGeoSphere(float radius);

// The recursive step of DrawGeoSphere over the unit vectors a, b, c: splits the
// triangle four ways `depth` more times, then emits each corner. Call it between
// glBegin(GL_TRIANGLES) and glEnd.
void SubdivideTriangle(const float a[3], const float b[3], const float c[3], int32_t depth,
                       float radius);

// Six GL_QUADS faces (front, back, top, bottom, right, left), each one normal and
// four corners running counter-clockwise seen from outside.
void DrawCube();

}  // namespace VantorGL
