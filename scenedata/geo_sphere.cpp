#include "scenedata/geo_sphere.h"

#include <epoxy/gl.h>

#include <cmath>

namespace VantorGL {
namespace {

constexpr float kX = 0.525731112119133606f;
constexpr float kZ = 0.850650808352039932f;

// The icosahedron: twelve unit vertices and twenty faces that run clockwise
// seen from outside.
constexpr float kVertices[12][3] = {
    {-kX, 0, kZ}, {kX, 0, kZ},   {-kX, 0, -kZ}, {kX, 0, -kZ}, {0, kZ, kX},   {0, kZ, -kX},
    {0, -kZ, kX}, {0, -kZ, -kX}, {kZ, kX, 0},   {-kZ, kX, 0}, {kZ, -kX, 0}, {-kZ, -kX, 0},
};

constexpr int kFaces[20][3] = {
    {0, 4, 1},  {0, 9, 4},  {9, 5, 4},  {4, 5, 8},  {4, 8, 1},  {8, 10, 1}, {8, 3, 10},
    {5, 3, 8},  {5, 2, 3},  {2, 7, 3},  {7, 10, 3}, {7, 6, 10}, {7, 11, 6}, {11, 0, 6},
    {0, 1, 6},  {6, 1, 10}, {9, 0, 11}, {9, 11, 2}, {9, 2, 5},  {7, 2, 11},
};

// The midpoint of two unit vectors pushed back onto the unit sphere.
void Midpoint(const float p[3], const float q[3], float out[3]) {
  for (int i = 0; i < 3; ++i) out[i] = (p[i] + q[i]) * 0.5f;
  const float length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
  for (int i = 0; i < 3; ++i) out[i] /= length;
}

void Emit(const float v[3], float radius) {
  glNormal3f(v[0], v[1], v[2]);
  glTexCoord2f(v[0], v[1]);
  glVertex3f(v[0] * radius, v[1] * radius, v[2] * radius);
}

struct CubeCorner {
  float s, t, x, y, z;
};
struct CubeFace {
  float normal[3];
  CubeCorner corners[4];
};

constexpr CubeFace kCube[6] = {
    {{0, 0, 1}, {{0, 0, -1, -1, 1}, {1, 0, 1, -1, 1}, {1, 1, 1, 1, 1}, {0, 1, -1, 1, 1}}},
    {{0, 0, -1}, {{1, 0, -1, -1, -1}, {1, 1, -1, 1, -1}, {0, 1, 1, 1, -1}, {0, 0, 1, -1, -1}}},
    {{0, 1, 0}, {{0, 1, -1, 1, -1}, {0, 0, -1, 1, 1}, {1, 0, 1, 1, 1}, {1, 1, 1, 1, -1}}},
    {{0, -1, 0}, {{1, 1, -1, -1, -1}, {0, 1, 1, -1, -1}, {0, 0, 1, -1, 1}, {1, 0, -1, -1, 1}}},
    {{1, 0, 0}, {{1, 0, 1, -1, -1}, {1, 1, 1, 1, -1}, {0, 1, 1, 1, 1}, {0, 0, 1, -1, 1}}},
    {{-1, 0, 0}, {{0, 0, -1, -1, -1}, {1, 0, -1, -1, 1}, {1, 1, -1, 1, 1}, {0, 1, -1, 1, -1}}},
};

}  // namespace

void SubdivideTriangle(const float a[3], const float b[3], const float c[3], int32_t depth,
                       float radius) {
  if (depth > 0) {
    float m1[3], m2[3], m3[3];
    Midpoint(a, b, m1);
    Midpoint(a, c, m2);
    Midpoint(c, b, m3);
    SubdivideTriangle(a, m1, m2, depth - 1, radius);
    SubdivideTriangle(b, m3, m1, depth - 1, radius);
    SubdivideTriangle(c, m2, m3, depth - 1, radius);
    SubdivideTriangle(m1, m3, m2, depth - 1, radius);
    return;
  }
  Emit(a, radius);
  Emit(b, radius);
  Emit(c, radius);
}

void DrawGeoSphere(float radius) {
  glBegin(GL_TRIANGLES);
  for (const auto& face : kFaces) {
    const float* A = kVertices[face[0]];
    const float* B = kVertices[face[1]];
    const float* C = kVertices[face[2]];
    float m1[3], m2[3], m3[3];
    Midpoint(A, B, m1);
    Midpoint(A, C, m2);
    Midpoint(B, C, m3);
    SubdivideTriangle(A, m1, m2, 2, radius);
    SubdivideTriangle(B, m3, m1, 2, radius);
    SubdivideTriangle(C, m2, m3, 2, radius);
    SubdivideTriangle(m1, m3, m2, 2, radius);
  }
  glEnd();
}

void DrawCube() {
  glBegin(GL_QUADS);
  for (const CubeFace& face : kCube) {
    glNormal3f(face.normal[0], face.normal[1], face.normal[2]);
    for (const CubeCorner& c : face.corners) {
      glTexCoord2f(c.s, c.t);
      glVertex3f(c.x, c.y, c.z);
    }
  }
  glEnd();
}

}  // namespace VantorGL
