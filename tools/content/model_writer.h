#pragma once
// 3DS files written the way modellers store them: meshes with mapping
// coordinates, face groups by material, smoothing groups, and materials with
// their colours and texture names. Geometry is built Y-up (the engine's space)
// and written Z-up: (x, y, z) is stored as (x, -z, y), which the engine's loader
// turns back. Triangles wind counter-clockwise seen from outside (Mesh::Tri
// winds them so), so the loader's area-weighted normals point outwards.
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace content {

using Bytes = std::vector<uint8_t>;

struct Vec3 {
  float x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline Vec3 Normalise(Vec3 a) {
  const float l = std::sqrt(Dot(a, a));
  return l > 0 ? a * (1.0f / l) : a;
}

struct Material {
  std::string name;
  std::array<uint8_t, 3> diffuse;
  std::array<uint8_t, 3> specular;
  std::string textureFile;  // 8.3 name as modellers store it; empty for none
};

struct Group {
  std::string material;
  std::vector<uint16_t> faces;
};

// One named object. The format counts in 16 bits: more than 65535 vertices or
// faces throw std::runtime_error.
struct Mesh {
  std::string name;
  std::vector<Vec3> verts;
  std::vector<std::array<float, 2>> uvs;
  std::vector<std::array<uint16_t, 3>> faces;
  std::vector<Group> groups;

  uint16_t Vertex(Vec3 p, float u, float v);
  Group& GroupFor(const std::string& material);
  // A triangle wound so that its normal points along `outward`.
  void Tri(uint16_t a, uint16_t b, uint16_t c, Vec3 outward, const std::string& material);
  void Quad(uint16_t a, uint16_t b, uint16_t c, uint16_t d, Vec3 outward, const std::string& m) {
    Tri(a, b, c, outward, m);
    Tri(a, c, d, outward, m);
  }
};

// The whole file. Names longer than 79 characters throw std::runtime_error.
Bytes Write3ds(const std::vector<Material>& materials, const std::vector<Mesh>& meshes);

// A prism over a convex 2D outline (counter-clockwise in x, y) from z0 to z1,
// every face with its own corners so the edges stay sharp.
void Prism(Mesh& m, const std::vector<std::array<float, 2>>& outline, float z0, float z1,
           const std::string& material, float uvScale);
// A straight stroke of width w from (x0, y0) to (x1, y1), as a prism.
void Stroke(Mesh& m, float x0, float y0, float x1, float y1, float w, float z0, float z1,
            const std::string& material);

}  // namespace content
