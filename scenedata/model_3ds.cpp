#include "scenedata/model_3ds.h"

#include <epoxy/gl.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "scenedata/byte_reader.h"
#include "shell/debug_system.h"
#include "shell/file_paths.h"

namespace VantorGL {
namespace {

constexpr uint16_t kEditor = 0x3D3D;
constexpr uint16_t kMaterial = 0xAFFF;
constexpr uint16_t kMaterialName = 0xA000;
constexpr uint16_t kDiffuse = 0xA020;
constexpr uint16_t kColorFloat = 0x0010;
constexpr uint16_t kColorByte = 0x0011;
constexpr uint16_t kColorByteGamma = 0x0012;
constexpr uint16_t kColorFloatGamma = 0x0013;
constexpr uint16_t kTextureMap = 0xA200;
constexpr uint16_t kMapFileName = 0xA300;
constexpr uint16_t kObject = 0x4000;
constexpr uint16_t kTriMesh = 0x4100;
constexpr uint16_t kVertexList = 0x4110;
constexpr uint16_t kFaceList = 0x4120;
constexpr uint16_t kFaceGroup = 0x4130;
constexpr uint16_t kMappingList = 0x4140;

constexpr size_t kHeader = 6;
constexpr size_t kMaxName = 79;  // characters before the terminator

// One chunk found inside its parent: [begin, end) with the header at begin.
// `end` is cut to the parent's end when the stored length runs past it.
struct Chunk {
  uint16_t id;
  size_t begin;
  size_t end;
  bool truncated;  // the file ends before the chunk does
  size_t data() const { return begin + kHeader; }
};

// Floats in 0..1 to a byte; out-of-range values and NaN are clamped, since the
// conversion of a value outside the byte range is undefined.
uint8_t ColorByte(float v) {
  const float scaled = v * 255.0f;
  if (!(scaled > 0.0f)) return 0;
  if (scaled >= 255.0f) return 255;
  return static_cast<uint8_t>(scaled);
}

void CopyName(char (&dst)[80], const std::string& src) {
  const size_t n = std::min(src.size(), sizeof dst - 1);
  std::memcpy(dst, src.data(), n);
  dst[n] = 0;
}

class Parser {
 public:
  Parser(c3DsModelSystem& model, const uint8_t* data, size_t size)
      : model_(model), data_(data), size_(size) {}

  bool Run() {
    if (size_ < kHeader) {
      Problem("file ends early: %zu bytes, no main chunk header", size_);
      return ok_;
    }
    ByteReader head(data_, size_);
    head.U16();  // the main chunk's id is not checked
    const uint32_t length = head.U32();
    if (length < kHeader) {
      Problem("main chunk length %u is below its header; nothing read", length);
      return ok_;
    }
    size_t end = length;
    if (length > size_) {
      ReportEarlyEnd(0, length);
      end = size_;
    }
    for (const Chunk& c : Children(kHeader, end, length > size_)) {
      if (c.id == kEditor) ReadEditor(c);
    }
    return ok_;
  }

 private:
  [[gnu::format(printf, 2, 3)]] void Problem(const char* format, ...) {
    ok_ = false;
    if (quiet_) return;
    char text[320];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    cDebugSystem::Instance().Log("c3DsModelSystem", text);
  }

  // A truncated file makes every open chunk run past the end; that is one problem.
  void ReportEarlyEnd(size_t offset, size_t claimedEnd) {
    if (earlyEndReported_) return;
    earlyEndReported_ = true;
    Problem("file ends early: the chunk at byte %zu needs %zu bytes, the file holds %zu", offset,
            claimedEnd, size_);
  }

  // Problems inside a chunk that the file's early end cut short are that one
  // problem, already logged.
  struct Quiet {
    Quiet(Parser& p, bool on) : parser(p), was(p.quiet_) { p.quiet_ = was || on; }
    ~Quiet() { parser.quiet_ = was; }
    Parser& parser;
    bool was;
  };

  ByteReader Reader(size_t begin, size_t end) const { return ByteReader(data_ + begin, end - begin); }

  // The chunks between begin and end, walked by their lengths. A length below the
  // header ends the walk (it would never advance); one past the parent is cut.
  // Inside a parent that the end of the file cut short, what is missing at the
  // end is the same problem as the early end and is not logged again.
  std::vector<Chunk> Children(size_t begin, size_t end, bool parentTruncated) {
    std::vector<Chunk> out;
    size_t pos = begin;
    while (pos < end) {
      if (end - pos < kHeader) {
        Quiet quiet(*this, parentTruncated);
        Problem("%zu stray bytes at byte %zu, too few for a chunk header; ignored", end - pos, pos);
        break;
      }
      ByteReader r = Reader(pos, end);
      const uint16_t id = r.U16();
      const uint32_t length = r.U32();
      if (length < kHeader) {
        Problem("chunk 0x%04X at byte %zu has length %u, below its header; the rest of its parent "
                "skipped",
                id, pos, length);
        break;
      }
      size_t chunkEnd = pos + length;
      const bool truncated = static_cast<uint64_t>(pos) + length > size_;
      if (length > end - pos) {
        if (end == size_ && truncated) {
          ReportEarlyEnd(pos, static_cast<size_t>(pos + length));
        } else {
          Problem("chunk 0x%04X at byte %zu runs %zu bytes past its parent; cut at the parent's end",
                  id, pos, static_cast<size_t>(pos + length - end));
        }
        chunkEnd = end;
      }
      out.push_back({id, pos, chunkEnd, truncated});
      pos = chunkEnd;
    }
    return out;
  }

  // Editor data, in three passes: count, materials, objects. Materials come
  // first so that face groups can find theirs by name.
  void ReadEditor(const Chunk& editor) {
    const std::vector<Chunk> kids = Children(editor.data(), editor.end, editor.truncated);
    int32_t meshes = 0, materials = 0;
    for (const Chunk& c : kids) {
      meshes += c.id == kObject;
      materials += c.id == kMaterial;
    }
    model_.meshCount = meshes;
    model_.materialCount = materials;
    model_.materials.assign(static_cast<size_t>(materials), Material3Ds{});
    model_.meshes.assign(static_cast<size_t>(meshes), Mesh3Ds{});
    size_t next = 0;
    for (const Chunk& c : kids) {
      if (c.id == kMaterial) ReadMaterial(c, model_.materials[next++]);
    }
    next = 0;
    for (const Chunk& c : kids) {
      if (c.id == kObject) ReadObject(c, model_.meshes[next++]);
    }
  }

  void ReadMaterial(const Chunk& chunk, Material3Ds& material) {
    for (const Chunk& c : Children(chunk.data(), chunk.end, chunk.truncated)) {
      if (c.id == kMaterialName) {
        ByteReader r = Reader(c.data(), c.end);
        std::string name;
        if (r.Name(name, kMaxName)) {
          CopyName(material.name, name);
        } else {
          Quiet quiet(*this, c.truncated);
          Problem("material name at byte %zu has no terminator within 80 bytes; left empty", c.begin);
        }
      } else if (c.id == kDiffuse) {
        for (const Chunk& color : Children(c.data(), c.end, c.truncated)) ReadColor(color, material);
      } else if (c.id == kTextureMap) {
        // The map's file name is read for its checks only; maps are not applied.
        for (const Chunk& map : Children(c.data(), c.end, c.truncated)) {
          if (map.id != kMapFileName) continue;
          ByteReader r = Reader(map.data(), map.end);
          std::string name;
          if (!r.Name(name, kMaxName)) {
            Quiet quiet(*this, map.truncated);
            Problem("map file name at byte %zu has no terminator within 80 bytes", map.begin);
          }
        }
      }
    }
  }

  void ReadColor(const Chunk& c, Material3Ds& material) {
    const bool isFloat = c.id == kColorFloat || c.id == kColorFloatGamma;
    const bool isByte = c.id == kColorByte || c.id == kColorByteGamma;
    if (!isFloat && !isByte) return;
    const size_t need = isFloat ? 12 : 3;
    ByteReader r = Reader(c.data(), c.end);
    if (r.remaining() < need) {
      Quiet quiet(*this, c.truncated);
      Problem("colour chunk 0x%04X at byte %zu holds %zu of %zu bytes; ignored", c.id, c.begin,
              r.remaining(), need);
      return;
    }
    for (int i = 0; i < 3; ++i) material.color[i] = isFloat ? ColorByte(r.F32()) : r.U8();
    material.color[3] = 255;
  }

  void ReadObject(const Chunk& chunk, Mesh3Ds& mesh) {
    ByteReader r = Reader(chunk.data(), chunk.end);
    std::string name;
    if (!r.Name(name, kMaxName)) {
      Quiet quiet(*this, chunk.truncated);
      Problem("object name at byte %zu has no terminator within 80 bytes; object left empty",
              chunk.begin);
      return;
    }
    CopyName(mesh.name, name);
    for (const Chunk& c : Children(chunk.data() + r.position(), chunk.end, chunk.truncated)) {
      if (c.id != kTriMesh) continue;
      // A later mesh in the same object replaces an earlier one.
      Mesh3Ds read;
      ReadMesh(c, read);
      std::memcpy(read.name, mesh.name, sizeof mesh.name);
      mesh = std::move(read);
    }
  }

  // Faces may precede the vertices they name, so the vertex and mapping lists
  // are read before the face list whatever their order. Where a list appears
  // twice the later one is taken.
  void ReadMesh(const Chunk& chunk, Mesh3Ds& mesh) {
    const Chunk* vertices = nullptr;
    const Chunk* mapping = nullptr;
    const Chunk* faces = nullptr;
    const std::vector<Chunk> kids = Children(chunk.data(), chunk.end, chunk.truncated);
    for (const Chunk& c : kids) {
      if (c.id == kVertexList) vertices = &c;
      if (c.id == kMappingList) mapping = &c;
      if (c.id == kFaceList) faces = &c;
    }
    if (vertices) ReadVertices(*vertices, mesh);
    if (mapping) ReadMapping(*mapping, mesh);
    if (mesh.hasTexCoords && mesh.texCoordCount < mesh.vertexCount) {
      // Drawing indexes the mapping list by vertex; a short one would be read past its end.
      Quiet quiet(*this, mapping->truncated || (vertices && vertices->truncated));
      Problem("mapping list at byte %zu has %d coordinates for %d vertices; the rest set to 0",
              mapping->begin, mesh.texCoordCount, mesh.vertexCount);
      mesh.texCoords.resize(static_cast<size_t>(mesh.vertexCount) * 2, 0.0f);
      mesh.texCoordCount = mesh.vertexCount;
    }
    if (faces) {
      Quiet quiet(*this, vertices && vertices->truncated);
      ReadFaces(*faces, mesh);
    }
  }

  // The count of a list and how many entries of `entryBytes` follow it in the
  // chunk; a count beyond the data is cut to the whole entries present.
  bool ReadCount(ByteReader& r, const Chunk& c, size_t entryBytes, const char* what, size_t& count,
                 bool* cut = nullptr) {
    Quiet quiet(*this, c.truncated);
    if (r.remaining() < 2) {
      Problem("%s at byte %zu holds no count; ignored", what, c.begin);
      return false;
    }
    count = r.U16();
    const size_t present = r.remaining() / entryBytes;
    if (count > present) {
      Problem("%s at byte %zu counts %zu entries but holds %zu; only those read", what, c.begin, count,
              present);
      count = present;
      if (cut) *cut = true;
    }
    return true;
  }

  void ReadVertices(const Chunk& c, Mesh3Ds& mesh) {
    ByteReader r = Reader(c.data(), c.end);
    size_t n = 0;
    if (!ReadCount(r, c, 12, "vertex list", n)) return;
    mesh.vertices.resize(n * 3);
    mesh.normals.assign(n * 3, 0.0f);
    mesh.vertexCount = static_cast<int32_t>(n);
    for (size_t i = 0; i < n; ++i) {
      const float x = r.F32(), y = r.F32(), z = r.F32();
      // Z-up to Y-up: a proper rotation, so face winding is kept.
      mesh.vertices[i * 3 + 0] = x;
      mesh.vertices[i * 3 + 1] = z;
      mesh.vertices[i * 3 + 2] = -y;
    }
  }

  void ReadMapping(const Chunk& c, Mesh3Ds& mesh) {
    ByteReader r = Reader(c.data(), c.end);
    size_t n = 0;
    if (!ReadCount(r, c, 8, "mapping list", n)) return;
    mesh.texCoords.resize(n * 2);
    for (float& v : mesh.texCoords) v = r.F32();
    mesh.texCoordCount = static_cast<int32_t>(n);
    mesh.hasTexCoords = 1;
  }

  void ReadFaces(const Chunk& c, Mesh3Ds& mesh) {
    ByteReader r = Reader(c.data(), c.end);
    size_t n = 0;
    bool listCut = false;
    if (!ReadCount(r, c, 8, "face list", n, &listCut)) return;
    // Groups name faces by their place in the file; dropped faces keep their place.
    std::vector<int32_t> stored(n, -1);
    mesh.faces.clear();
    mesh.faces.reserve(n * 3);
    const auto vertexCount = static_cast<uint32_t>(mesh.vertexCount);
    const float* v = mesh.vertices.data();
    float* normals = mesh.normals.data();
    size_t dropped = 0;
    for (size_t f = 0; f < n; ++f) {
      const uint16_t a = r.U16(), b = r.U16(), cc = r.U16();
      r.U16();  // edge flags, unused
      if (a >= vertexCount || b >= vertexCount || cc >= vertexCount) {
        ++dropped;
        continue;
      }
      stored[f] = static_cast<int32_t>(mesh.faces.size() / 3);
      mesh.faces.insert(mesh.faces.end(), {a, b, cc});
      const float* A = v + a * 3;
      const float* B = v + b * 3;
      const float* C = v + cc * 3;
      // (B - C) x (B - A): twice the face's area in length, so the sum over the
      // faces at a vertex is weighted by area.
      const float u[3] = {B[0] - C[0], B[1] - C[1], B[2] - C[2]};
      const float w[3] = {B[0] - A[0], B[1] - A[1], B[2] - A[2]};
      const float nx = u[1] * w[2] - u[2] * w[1];
      const float ny = u[2] * w[0] - u[0] * w[2];
      const float nz = u[0] * w[1] - u[1] * w[0];
      for (uint16_t corner : {a, b, cc}) {
        normals[corner * 3 + 0] += nx;
        normals[corner * 3 + 1] += ny;
        normals[corner * 3 + 2] += nz;
      }
    }
    mesh.faceIndexCount = static_cast<int32_t>(mesh.faces.size());
    if (dropped) {
      Problem("face list at byte %zu: %zu faces name vertices beyond the %d vertices; dropped", c.begin,
              dropped, mesh.vertexCount);
    }
    mesh.groups.clear();
    mesh.groupCount = 0;
    // A count beyond the data leaves nothing after the faces to look for groups in.
    if (listCut) return;
    for (const Chunk& g : Children(c.data() + r.position(), c.end, c.truncated)) {
      if (g.id == kFaceGroup) ReadGroup(g, mesh, stored);
    }
    mesh.groupCount = static_cast<int32_t>(mesh.groups.size());
  }

  void ReadGroup(const Chunk& c, Mesh3Ds& mesh, const std::vector<int32_t>& stored) {
    ByteReader r = Reader(c.data(), c.end);
    std::string name;
    if (!r.Name(name, kMaxName)) {
      Quiet quiet(*this, c.truncated);
      Problem("face group at byte %zu: name without a terminator within 80 bytes; group dropped",
              c.begin);
      return;
    }
    size_t n = 0;
    if (!ReadCount(r, c, 2, "face group", n)) return;
    FaceGroup3Ds group;
    group.materialIndex = model_.materialCount;
    for (int32_t i = 0; i < model_.materialCount; ++i) {
      if (name == model_.materials[static_cast<size_t>(i)].name) {
        group.materialIndex = i;
        break;
      }
    }
    group.indices.reserve(n * 3);
    size_t beyond = 0;
    for (size_t i = 0; i < n; ++i) {
      const uint16_t f = r.U16();
      if (f >= stored.size()) {
        ++beyond;
        continue;
      }
      if (stored[f] < 0) continue;  // a dropped face, reported with its list
      const uint16_t* face = mesh.faces.data() + static_cast<size_t>(stored[f]) * 3;
      group.indices.insert(group.indices.end(), face, face + 3);
    }
    if (beyond) {
      Problem("face group \"%s\" at byte %zu: %zu face indices beyond the %zu faces; dropped",
              name.c_str(), c.begin, beyond, stored.size());
    }
    group.indexCount = static_cast<int32_t>(group.indices.size());
    mesh.groups.push_back(std::move(group));
  }

  c3DsModelSystem& model_;
  const uint8_t* data_;
  size_t size_;
  bool ok_ = true;
  bool earlyEndReported_ = false;
  bool quiet_ = false;
};

}  // namespace

c3DsModelSystem::~c3DsModelSystem() = default;

std::string_view c3DsModelSystem::StripQuotes(std::string_view path) {
  if (path.find('"') == std::string_view::npos) return path;
  const size_t start = path.find_first_not_of('"');
  if (start == std::string_view::npos) return {};
  path.remove_prefix(start);
  return path.substr(0, path.find('"'));
}

void c3DsModelSystem::Load(std::string_view path) {
  const std::string_view name = StripQuotes(path);
  const auto bytes = ReadFileBytes(name);
  if (!bytes) {
    meshes.clear();
    materials.clear();
    meshCount = materialCount = 0;
    cDebugSystem::Instance().Log("c3DsModelSystem",
                                 "cannot open \"" + std::string(name) + "\"; model left empty");
    return;
  }
  LoadFromBytes(bytes->data(), bytes->size());
}

bool c3DsModelSystem::LoadFromBytes(const uint8_t* data, size_t size) {
  meshes.clear();
  materials.clear();
  meshCount = materialCount = 0;
  static const uint8_t kNothing = 0;
  const bool ok = Parser(*this, data ? data : &kNothing, data ? size : 0).Run();
  for (Mesh3Ds& mesh : meshes) {
    for (size_t i = 0; i + 2 < mesh.normals.size(); i += 3) {
      float* n = &mesh.normals[i];
      float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
      if (length == 0.0f) length = 1.0f;
      n[0] /= length;
      n[1] /= length;
      n[2] /= length;
    }
  }
  return ok;
}

void c3DsModelSystem::Draw() {
  if (!visible) return;
  glPushMatrix();
  glTranslatef(position[0], position[1], position[2]);
  glRotatef(rotation[0], 1.0f, 0.0f, 0.0f);
  glRotatef(rotation[1], 0.0f, 1.0f, 0.0f);
  glRotatef(rotation[2], 0.0f, 0.0f, 1.0f);
  glScalef(scale, scale, scale);
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  for (const Mesh3Ds& mesh : meshes) {
    if (mesh.vertexCount == 0 || mesh.groups.empty()) continue;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, mesh.vertices.data());
    if (normals) {
      glEnableClientState(GL_NORMAL_ARRAY);
      glNormalPointer(GL_FLOAT, 0, mesh.normals.data());
    } else {
      glDisableClientState(GL_NORMAL_ARRAY);
    }
    if (mesh.hasTexCoords) {
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      glTexCoordPointer(2, GL_FLOAT, 0, mesh.texCoords.data());
    } else {
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    for (const FaceGroup3Ds& group : mesh.groups) {
      if (group.indexCount == 0) continue;
      glDrawElements(GL_TRIANGLES, group.indexCount, GL_UNSIGNED_SHORT, group.indices.data());
    }
  }
  glPopClientAttrib();
  glPopMatrix();
}

}  // namespace VantorGL
