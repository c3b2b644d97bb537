// The three 3DS models: the spinning logo emblem, a landscape and a smooth
// object for the shader effects. Geometry is built Y-up (the renderer's space)
// and written Z-up as modellers store it: (x, y, z) is stored as (x, -z, y),
// which the loader turns back. Triangles wind counter-clockwise seen from
// outside, so the loader's area-weighted normals point outwards.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "content.h"
#include "noise.h"

namespace content {

namespace {

constexpr float kPi = 3.14159265358979f;

struct Vec3 {
  float x = 0, y = 0, z = 0;
};
Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 Normalise(Vec3 a) {
  const float l = std::sqrt(Dot(a, a));
  return l > 0 ? a * (1.0f / l) : a;
}

// ---- 3DS chunk writer ----------------------------------------------------

struct Chunk {
  explicit Chunk(uint16_t i) : id(i) {}
  void U8(uint8_t v) { data.push_back(v); }
  void U16(uint16_t v) {
    data.push_back(static_cast<uint8_t>(v));
    data.push_back(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) data.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void F32(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    U32(u);
  }
  void Name(const std::string& s) {
    if (s.size() > 79) throw std::runtime_error("3DS name longer than 79 characters: " + s);
    data.insert(data.end(), s.begin(), s.end());
    data.push_back(0);
  }
  Chunk& Add(uint16_t childId) { return kids.emplace_back(childId); }

  Bytes Serialise() const {
    Bytes body = data;
    for (const Chunk& k : kids) {
      const Bytes kb = k.Serialise();
      body.insert(body.end(), kb.begin(), kb.end());
    }
    Bytes out;
    const uint32_t len = static_cast<uint32_t>(body.size() + 6);
    out.push_back(static_cast<uint8_t>(id));
    out.push_back(static_cast<uint8_t>(id >> 8));
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(len >> (8 * i)));
    out.insert(out.end(), body.begin(), body.end());
    return out;
  }

  uint16_t id;
  Bytes data;
  std::vector<Chunk> kids;
};

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

struct Mesh {
  std::string name;
  std::vector<Vec3> verts;
  std::vector<std::array<float, 2>> uvs;
  std::vector<std::array<uint16_t, 3>> faces;
  std::vector<Group> groups;

  uint16_t Vertex(Vec3 p, float u, float v) {
    if (verts.size() >= 65535) throw std::runtime_error("3DS mesh over 65535 vertices: " + name);
    verts.push_back(p);
    uvs.push_back({u, v});
    return static_cast<uint16_t>(verts.size() - 1);
  }
  Group& GroupFor(const std::string& material) {
    for (Group& g : groups)
      if (g.material == material) return g;
    groups.push_back({material, {}});
    return groups.back();
  }
  // A triangle wound so that its normal points along `outward`.
  void Tri(uint16_t a, uint16_t b, uint16_t c, Vec3 outward, const std::string& material) {
    const Vec3 n = Cross(verts[b] - verts[a], verts[c] - verts[a]);
    if (Dot(n, outward) < 0) std::swap(b, c);
    if (faces.size() >= 65535) throw std::runtime_error("3DS mesh over 65535 faces: " + name);
    faces.push_back({a, b, c});
    GroupFor(material).faces.push_back(static_cast<uint16_t>(faces.size() - 1));
  }
  void Quad(uint16_t a, uint16_t b, uint16_t c, uint16_t d, Vec3 outward, const std::string& m) {
    Tri(a, b, c, outward, m);
    Tri(a, c, d, outward, m);
  }
};

void Colour(Chunk& parent, uint16_t id, const std::array<uint8_t, 3>& rgb) {
  Chunk& c = parent.Add(id);
  Chunk& bytes = c.Add(0x0011);
  for (uint8_t v : rgb) bytes.U8(v);
  Chunk& gamma = c.Add(0x0012);
  for (uint8_t v : rgb) gamma.U8(v);
}

Bytes Write3ds(const std::vector<Material>& materials, const std::vector<Mesh>& meshes) {
  Chunk main(0x4D4D);
  main.Add(0x0002).U32(3);  // file version
  Chunk& editor = main.Add(0x3D3D);
  editor.Add(0x3D3E).U32(3);  // mesh version
  for (const Material& m : materials) {
    Chunk& mat = editor.Add(0xAFFF);
    mat.Add(0xA000).Name(m.name);
    std::array<uint8_t, 3> ambient{};
    for (size_t i = 0; i < 3; ++i) ambient[i] = static_cast<uint8_t>(m.diffuse[i] / 4);
    Colour(mat, 0xA010, ambient);
    Colour(mat, 0xA020, m.diffuse);
    Colour(mat, 0xA030, m.specular);
    mat.Add(0xA040).Add(0x0030).U16(40);  // shininess, percent
    if (!m.textureFile.empty()) {
      Chunk& map = mat.Add(0xA200);
      map.Add(0x0030).U16(100);  // map strength, percent
      map.Add(0xA300).Name(m.textureFile);
    }
  }
  editor.Add(0x0100).F32(1.0f);  // master scale
  for (const Mesh& mesh : meshes) {
    Chunk& obj = editor.Add(0x4000);
    obj.Name(mesh.name);
    Chunk& tri = obj.Add(0x4100);
    Chunk& vl = tri.Add(0x4110);
    vl.U16(static_cast<uint16_t>(mesh.verts.size()));
    for (const Vec3& p : mesh.verts) {  // Y-up to Z-up
      vl.F32(p.x);
      vl.F32(-p.z);
      vl.F32(p.y);
    }
    Chunk& map = tri.Add(0x4140);
    map.U16(static_cast<uint16_t>(mesh.uvs.size()));
    for (const auto& uv : mesh.uvs) {
      map.F32(uv[0]);
      map.F32(uv[1]);
    }
    Chunk& axes = tri.Add(0x4160);  // local axes: identity, origin 0
    for (float f : {1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f}) axes.F32(f);
    Chunk& fl = tri.Add(0x4120);
    fl.U16(static_cast<uint16_t>(mesh.faces.size()));
    for (const auto& f : mesh.faces) {
      fl.U16(f[0]);
      fl.U16(f[1]);
      fl.U16(f[2]);
      fl.U16(0x0007);  // all three edges visible
    }
    for (const Group& g : mesh.groups) {
      Chunk& gc = fl.Add(0x4130);
      gc.Name(g.material);
      gc.U16(static_cast<uint16_t>(g.faces.size()));
      for (uint16_t f : g.faces) gc.U16(f);
    }
    Chunk& smooth = fl.Add(0x4150);
    for (size_t i = 0; i < mesh.faces.size(); ++i) smooth.U32(1);
  }
  return main.Serialise();
}

// ---- the logo: a toothed ring around the letters K and M -----------------

// A prism over a convex 2D outline (counter-clockwise in x, y) from z0 to z1,
// every face with its own corners so the edges stay sharp.
void Prism(Mesh& m, const std::vector<std::array<float, 2>>& outline, float z0, float z1,
           const std::string& material, float uvScale) {
  const size_t n = outline.size();
  auto uvOf = [uvScale](float x, float y) {
    return std::array<float, 2>{x / uvScale + 0.5f, y / uvScale + 0.5f};
  };
  for (float z : {z0, z1}) {
    const Vec3 out{0, 0, z < 0.5f * (z0 + z1) ? -1.0f : 1.0f};
    std::vector<uint16_t> ids;
    for (const auto& p : outline) {
      const auto uv = uvOf(p[0], p[1]);
      ids.push_back(m.Vertex({p[0], p[1], z}, uv[0], uv[1]));
    }
    for (size_t i = 1; i + 1 < n; ++i) m.Tri(ids[0], ids[i], ids[i + 1], out, material);
  }
  for (size_t i = 0; i < n; ++i) {
    const auto& p = outline[i];
    const auto& q = outline[(i + 1) % n];
    const Vec3 edge{q[0] - p[0], q[1] - p[1], 0};
    const Vec3 out = Normalise(Cross(edge, {0, 0, 1}));  // outline is counter-clockwise
    const uint16_t a = m.Vertex({p[0], p[1], z0}, 0, 0), b = m.Vertex({q[0], q[1], z0}, 1, 0);
    const uint16_t c = m.Vertex({q[0], q[1], z1}, 1, 1), d = m.Vertex({p[0], p[1], z1}, 0, 1);
    m.Quad(a, b, c, d, out, material);
  }
}

// A straight stroke of width w from (x0, y0) to (x1, y1), as a prism.
void Stroke(Mesh& m, float x0, float y0, float x1, float y1, float w, float z0, float z1,
            const std::string& material) {
  const float dx = x1 - x0, dy = y1 - y0, len = std::hypot(dx, dy);
  const float nx = -dy / len * w * 0.5f, ny = dx / len * w * 0.5f;
  Prism(m, {{x0 - nx, y0 - ny}, {x1 - nx, y1 - ny}, {x1 + nx, y1 + ny}, {x0 + nx, y0 + ny}}, z0, z1,
        material, 90.0f);
}

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

Bytes MakeShaderObjectModel() {
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
