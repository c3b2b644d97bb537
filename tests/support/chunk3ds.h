#pragma once
// Builds 3DS files byte by byte: a chunk is an id, its data and its children;
// the length is worked out unless a test forces a wrong one. Header-only so the
// benchmark and the fuzz seed writer can use it without the test library.
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace vantor_test {

class Chunk3ds {
 public:
  explicit Chunk3ds(uint16_t id) : id_(id) {}

  Chunk3ds& U8(uint8_t v) {
    data_.push_back(v);
    return *this;
  }
  Chunk3ds& U16(uint16_t v) {
    for (int i = 0; i < 2; ++i) data_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Chunk3ds& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) data_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Chunk3ds& F32(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return U32(bits);
  }
  // The text and its terminator.
  Chunk3ds& Name(const std::string& text) {
    data_.insert(data_.end(), text.begin(), text.end());
    data_.push_back(0);
    return *this;
  }
  Chunk3ds& Raw(const std::vector<uint8_t>& bytes) {
    data_.insert(data_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  Chunk3ds& Add(const Chunk3ds& child) { return Raw(child.Bytes()); }
  // Stores `length` in the header instead of the true one.
  Chunk3ds& ForceLength(uint32_t length) {
    forced_ = length;
    return *this;
  }

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out;
    out.reserve(data_.size() + 6);
    const uint32_t length = forced_ ? *forced_ : static_cast<uint32_t>(data_.size() + 6);
    for (int i = 0; i < 2; ++i) out.push_back(static_cast<uint8_t>(id_ >> (8 * i)));
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(length >> (8 * i)));
    out.insert(out.end(), data_.begin(), data_.end());
    return out;
  }

 private:
  uint16_t id_;
  std::vector<uint8_t> data_;
  std::optional<uint32_t> forced_;
};

struct Vec3 {
  float x, y, z;
};
struct Face3 {
  uint16_t a, b, c;
};

inline Chunk3ds VertexList(const std::vector<Vec3>& vertices) {
  Chunk3ds c(0x4110);
  c.U16(static_cast<uint16_t>(vertices.size()));
  for (const Vec3& v : vertices) c.F32(v.x).F32(v.y).F32(v.z);
  return c;
}

inline Chunk3ds MappingList(const std::vector<std::pair<float, float>>& uv) {
  Chunk3ds c(0x4140);
  c.U16(static_cast<uint16_t>(uv.size()));
  for (const auto& [u, v] : uv) c.F32(u).F32(v);
  return c;
}

inline Chunk3ds FaceGroup(const std::string& material, const std::vector<uint16_t>& faces) {
  Chunk3ds c(0x4130);
  c.Name(material).U16(static_cast<uint16_t>(faces.size()));
  for (uint16_t f : faces) c.U16(f);
  return c;
}

// A face list followed by its groups.
inline Chunk3ds FaceList(const std::vector<Face3>& faces, std::initializer_list<Chunk3ds> groups = {}) {
  Chunk3ds c(0x4120);
  c.U16(static_cast<uint16_t>(faces.size()));
  for (const Face3& f : faces) c.U16(f.a).U16(f.b).U16(f.c).U16(7);
  for (const Chunk3ds& g : groups) c.Add(g);
  return c;
}

inline Chunk3ds Object(const std::string& name, std::initializer_list<Chunk3ds> meshParts) {
  Chunk3ds mesh(0x4100);
  for (const Chunk3ds& part : meshParts) mesh.Add(part);
  Chunk3ds object(0x4000);
  object.Name(name).Add(mesh);
  return object;
}

inline Chunk3ds FloatColorMaterial(const std::string& name, float r, float g, float b) {
  Chunk3ds color(0x0010);
  color.F32(r).F32(g).F32(b);
  Chunk3ds diffuse(0xA020);
  diffuse.Add(color);
  Chunk3ds material(0xAFFF);
  material.Add(Chunk3ds(0xA000).Name(name)).Add(diffuse);
  return material;
}

inline Chunk3ds ByteColorMaterial(const std::string& name, uint8_t r, uint8_t g, uint8_t b) {
  Chunk3ds color(0x0011);
  color.U8(r).U8(g).U8(b);
  Chunk3ds diffuse(0xA020);
  diffuse.Add(color);
  Chunk3ds material(0xAFFF);
  material.Add(Chunk3ds(0xA000).Name(name)).Add(diffuse);
  return material;
}

// The main chunk around one editor chunk holding `parts`.
inline std::vector<uint8_t> File3ds(std::initializer_list<Chunk3ds> parts) {
  Chunk3ds editor(0x3D3D);
  for (const Chunk3ds& p : parts) editor.Add(p);
  Chunk3ds main(0x4D4D);
  main.Add(Chunk3ds(0x0002).U32(3)).Add(editor);
  return main.Bytes();
}

}  // namespace vantor_test
