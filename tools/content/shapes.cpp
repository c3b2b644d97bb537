// The ready-made models: the logo emblem, a landscape and a torus knot.
#include "shapes.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "noise.h"

namespace content {

namespace {
constexpr float kPi = 3.14159265358979f;
}  // namespace

Bytes MakeLogoModel() {
  Mesh ring;
  ring.name = "KMRing";
  const int steps = 128, teeth = 16;
  const float inner = 29.0f, depth = 5.0f;
  auto outerRadius = [&](float a) {
    // Trapezoid teeth: flat tops and roots joined by short flanks.
    const float t = std::fmod(a / (2.0f * kPi) * teeth, 1.0f);
    const float tri = std::clamp((0.5f - std::fabs(t - 0.5f)) * 6.0f - 0.7f, 0.0f, 1.0f);
    return 36.0f + 6.0f * tri;
  };
  std::vector<Vec3> outerPts, innerPts;
  for (int i = 0; i < steps; ++i) {
    const float a = 2.0f * kPi * static_cast<float>(i) / steps;
    const float ro = outerRadius(a);
    outerPts.push_back({ro * std::cos(a), ro * std::sin(a), 0});
    innerPts.push_back({inner * std::cos(a), inner * std::sin(a), 0});
  }
  // Front (z = -depth, facing the camera's side) and back caps, shared corners.
  for (float z : {-depth, depth}) {
    const Vec3 out{0, 0, z < 0 ? -1.0f : 1.0f};
    std::vector<uint16_t> o, in;
    for (int i = 0; i < steps; ++i) {
      const Vec3 po{outerPts[i].x, outerPts[i].y, z}, pi{innerPts[i].x, innerPts[i].y, z};
      o.push_back(ring.Vertex(po, po.x / 90.0f + 0.5f, po.y / 90.0f + 0.5f));
      in.push_back(ring.Vertex(pi, pi.x / 90.0f + 0.5f, pi.y / 90.0f + 0.5f));
    }
    for (int i = 0; i < steps; ++i) {
      const int j = (i + 1) % steps;
      ring.Quad(in[i], o[i], o[j], in[j], out, "LogoRing");
    }
  }
  // Outer and inner walls, one quad each with its own corners.
  for (int wall = 0; wall < 2; ++wall) {
    const std::vector<Vec3>& pts = wall == 0 ? outerPts : innerPts;
    for (int i = 0; i < steps; ++i) {
      const int j = (i + 1) % steps;
      const Vec3 p = pts[i], q = pts[j];
      Vec3 out = Normalise(Cross(q - p, {0, 0, 1}));
      if (wall == 1) out = out * -1.0f;
      const float u0 = static_cast<float>(i) / steps, u1 = static_cast<float>(i + 1) / steps;
      const uint16_t a = ring.Vertex({p.x, p.y, -depth}, u0, 0);
      const uint16_t b = ring.Vertex({q.x, q.y, -depth}, u1, 0);
      const uint16_t c = ring.Vertex({q.x, q.y, depth}, u1, 1);
      const uint16_t d = ring.Vertex({p.x, p.y, depth}, u0, 1);
      ring.Quad(a, b, c, d, out, "LogoEdge");
    }
  }

  Mesh letters;
  letters.name = "KMLetters";
  const float z0 = -7.0f, z1 = 7.0f, w = 5.5f;
  // K
  Stroke(letters, -21.0f, -15.0f, -21.0f, 15.0f, w, z0, z1, "LogoLetters");
  Stroke(letters, -19.0f, 0.0f, -6.0f, 15.0f, w, z0, z1, "LogoLetters");
  Stroke(letters, -17.0f, 2.0f, -5.0f, -15.0f, w, z0, z1, "LogoLetters");
  // M
  Stroke(letters, 4.0f, -15.0f, 4.0f, 15.0f, w, z0, z1, "LogoLetters");
  Stroke(letters, 22.0f, -15.0f, 22.0f, 15.0f, w, z0, z1, "LogoLetters");
  Stroke(letters, 5.5f, 14.0f, 13.0f, 1.0f, w, z0, z1, "LogoLetters");
  Stroke(letters, 20.5f, 14.0f, 13.0f, 1.0f, w, z0, z1, "LogoLetters");

  const std::vector<Material> mats = {
      {"LogoRing", {200, 205, 215}, {255, 255, 255}, "SCENERY1.JPG"},
      {"LogoEdge", {90, 150, 220}, {255, 255, 255}, ""},
      {"LogoLetters", {255, 150, 40}, {255, 230, 200}, "SCENERY1.JPG"},
  };
  return Write3ds(mats, {ring, letters});
}

Bytes MakeLandscapeModel() {
  Mesh land;
  land.name = "Terrain";
  const int cells = 96;
  const float half = 1000.0f;
  auto height = [](float x, float z) {
    const float n = Fbm(x / 500.0f + 10.0f, z / 500.0f + 10.0f, 6, 0, 91);
    // Hills rise towards the rim; a basin in the middle holds the lake.
    const float rim = std::clamp(std::hypot(x, z) / 900.0f, 0.0f, 1.0f);
    return 380.0f * std::pow(n, 1.6f) * (0.35f + 0.65f * rim) - 30.0f;
  };
  std::vector<uint16_t> ids;
  for (int j = 0; j <= cells; ++j)
    for (int i = 0; i <= cells; ++i) {
      const float x = -half + 2.0f * half * static_cast<float>(i) / cells;
      const float z = -half + 2.0f * half * static_cast<float>(j) / cells;
      // Texture repeats eight times across the land.
      ids.push_back(land.Vertex({x, height(x, z), z}, 8.0f * static_cast<float>(i) / cells,
                                8.0f * static_cast<float>(j) / cells));
    }
  auto at = [&](int i, int j) { return ids[static_cast<size_t>(j) * (cells + 1) + i]; };
  for (int j = 0; j < cells; ++j)
    for (int i = 0; i < cells; ++i) {
      const uint16_t a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
      const Vec3 pa = land.verts[a], pc = land.verts[c];
      const Vec3 n = Normalise(Cross(land.verts[d] - pa, land.verts[b] - pa));
      const float mid = 0.5f * (pa.y + pc.y);
      const char* material = mid > 210.0f ? "Snow" : (n.y < 0.82f ? "Rock" : "Grass");
      land.Quad(a, b, c, d, {0, 1, 0}, material);
    }
  const std::vector<Material> mats = {
      {"Grass", {70, 130, 50}, {40, 40, 40}, "SCENERY1.JPG"},
      {"Rock", {120, 110, 100}, {60, 60, 60}, "SCENERY1.JPG"},
      {"Snow", {235, 240, 250}, {200, 200, 200}, ""},
  };
  return Write3ds(mats, {land});
}

Bytes MakeTorusKnotModel() {
  Mesh knot;
  knot.name = "Knot";
  // A (2, 3) torus knot swept by a round tube: smooth everywhere, every vertex
  // shared by its neighbours so the loader's normals come out round. The seam
  // is duplicated only so the texture coordinates can wrap.
  const int along = 240, around = 20;
  const float scale = 10.0f, tube = 3.2f;
  auto curve = [scale](float t) {
    const float r = 2.0f + std::cos(3.0f * t);
    return Vec3{r * std::cos(2.0f * t), -std::sin(3.0f * t), r * std::sin(2.0f * t)} * scale;
  };
  std::vector<uint16_t> ids;
  for (int i = 0; i <= along; ++i) {
    const float t = 2.0f * kPi * static_cast<float>(i) / along;
    const Vec3 c = curve(t);
    const Vec3 tangent = Normalise(curve(t + 1e-3f) - curve(t - 1e-3f));
    // The curve never runs along y, so this frame never degenerates.
    const Vec3 side = Normalise(Cross(tangent, {0, 1, 0}));
    const Vec3 up = Cross(side, tangent);
    for (int k = 0; k <= around; ++k) {
      const float a = 2.0f * kPi * static_cast<float>(k) / around;
      const Vec3 p = c + (side * std::cos(a) + up * std::sin(a)) * tube;
      ids.push_back(knot.Vertex(p, 6.0f * static_cast<float>(i) / along,
                                static_cast<float>(k) / around));
    }
  }
  auto at = [&](int i, int k) { return ids[static_cast<size_t>(i) * (around + 1) + k]; };
  for (int i = 0; i < along; ++i) {
    const float t = 2.0f * kPi * (static_cast<float>(i) + 0.5f) / along;
    const Vec3 centre = curve(t);
    const char* material = (i / 20) % 2 == 0 ? "KnotChrome" : "KnotGlass";
    for (int k = 0; k < around; ++k) {
      const uint16_t a = at(i, k), b = at(i + 1, k), c = at(i + 1, k + 1), d = at(i, k + 1);
      const Vec3 mid = (knot.verts[a] + knot.verts[c]) * 0.5f;
      knot.Quad(a, b, c, d, mid - centre, material);
    }
  }
  const std::vector<Material> mats = {
      {"KnotChrome", {210, 215, 225}, {255, 255, 255}, "WATER.JPG"},
      {"KnotGlass", {60, 170, 230}, {255, 255, 255}, "WATER.JPG"},
  };
  return Write3ds(mats, {knot});
}

}  // namespace content
