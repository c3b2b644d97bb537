#include "model_writer.h"

#include <cstring>
#include <stdexcept>
#include <utility>

namespace content {

namespace {

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

void Colour(Chunk& parent, uint16_t id, const std::array<uint8_t, 3>& rgb) {
  Chunk& c = parent.Add(id);
  Chunk& bytes = c.Add(0x0011);
  for (uint8_t v : rgb) bytes.U8(v);
  Chunk& gamma = c.Add(0x0012);
  for (uint8_t v : rgb) gamma.U8(v);
}

}  // namespace

uint16_t Mesh::Vertex(Vec3 p, float u, float v) {
  if (verts.size() >= 65535) throw std::runtime_error("3DS mesh over 65535 vertices: " + name);
  verts.push_back(p);
  uvs.push_back({u, v});
  return static_cast<uint16_t>(verts.size() - 1);
}

Group& Mesh::GroupFor(const std::string& material) {
  for (Group& g : groups)
    if (g.material == material) return g;
  groups.push_back({material, {}});
  return groups.back();
}

void Mesh::Tri(uint16_t a, uint16_t b, uint16_t c, Vec3 outward, const std::string& material) {
  const Vec3 n = Cross(verts[b] - verts[a], verts[c] - verts[a]);
  if (Dot(n, outward) < 0) std::swap(b, c);
  if (faces.size() >= 65535) throw std::runtime_error("3DS mesh over 65535 faces: " + name);
  faces.push_back({a, b, c});
  GroupFor(material).faces.push_back(static_cast<uint16_t>(faces.size() - 1));
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

void Stroke(Mesh& m, float x0, float y0, float x1, float y1, float w, float z0, float z1,
            const std::string& material) {
  const float dx = x1 - x0, dy = y1 - y0, len = std::hypot(dx, dy);
  const float nx = -dy / len * w * 0.5f, ny = dx / len * w * 0.5f;
  Prism(m, {{x0 - nx, y0 - ny}, {x1 - nx, y1 - ny}, {x1 + nx, y1 + ny}, {x0 + nx, y0 + ny}}, z0, z1,
        material, 90.0f);
}

}  // namespace content
