#pragma once
// c3DsModelSystem: a triangle model read from a 3DS file (the chunked format of
// 3D Studio) and drawn with GL vertex arrays.
//
// Only the geometry subset is read: named objects (0x4000) with their triangle
// meshes (vertices, mapping coordinates, faces, face material groups) and the
// names and diffuse colours of materials. Vertices are turned from the file's
// Z-up to Y-up, (x, y, z) -> (x, z, -y); smooth area-weighted normals are made
// while loading. Materials are read but never applied: Draw sets no colour,
// material or texture state, the caller owns all of it.
//
// The file is trusted for nothing: every length and count is checked against
// the bytes that are really there. A broken part (a chunk, a list, a face, a
// group) is dropped, what is sound is kept, and each problem is written as one
// debug-log line with the source "c3DsModelSystem". Main thread only; Draw
// needs a current GL context.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace VantorGL {

struct Material3Ds {
  char name[80] = {};      // zero-terminated, at most 79 characters
  uint8_t color[4] = {};   // diffuse r, g, b, a; a is 255 once a colour was read
};

struct FaceGroup3Ds {
  std::vector<uint16_t> indices;  // three vertex indices per face of the group
  int32_t indexCount = 0;         // indices.size()
  int32_t materialIndex = 0;      // first material of the same name, or the material count
};

struct Mesh3Ds {
  char name[80] = {};
  std::vector<float> vertices;    // x, y, z per vertex, Y-up
  std::vector<float> normals;     // one unit (or zero) vector per vertex
  std::vector<float> texCoords;   // u, v per vertex; empty unless hasTexCoords
  std::vector<uint16_t> faces;    // a, b, c per face; every index below vertexCount
  int32_t faceIndexCount = 0;     // faces.size()
  int32_t groupCount = 0;         // groups.size()
  int32_t vertexCount = 0;
  int32_t texCoordCount = 0;      // as many as vertices (a shorter list is padded)
  uint8_t hasTexCoords = 0;       // set only by a mapping-coordinate chunk
  std::vector<FaceGroup3Ds> groups;
};

class c3DsModelSystem {
 public:
  c3DsModelSystem() = default;
  virtual ~c3DsModelSystem();

  // Reads the model from `path` (found through ResolvePath). A path holding a
  // double quote is cut to the text between the leading quotes and the next
  // one. A file that cannot be opened leaves an empty model and one log line.
  void Load(std::string_view path);

  // Parses a whole file image; replaces whatever was loaded before. The bytes
  // are not kept. True when the file was well-formed (nothing was logged).
  bool LoadFromBytes(const uint8_t* data, size_t size);

  // Draws every group of every mesh as indexed triangles under the model's
  // position, rotation (x, then y, then z, degrees) and uniform scale. Leaves the
  // matrix stack and the client array state as it found them.
  void Draw();

  // The path Load opens for `path` after the quote rule.
  static std::string_view StripQuotes(std::string_view path);

  int32_t meshCount = 0;
  int32_t materialCount = 0;
  std::vector<Material3Ds> materials;  // in file order
  std::vector<Mesh3Ds> meshes;         // in file order, one per 0x4000 object
  float position[3] = {0, 0, 0};
  float rotation[3] = {0, 0, 0};       // degrees about x, y, z
  float scale = 1.0f;
  uint8_t normals = 1;                 // feed the per-vertex normals when drawing
  uint8_t visible = 1;                 // when clear Draw does nothing
};

}  // namespace VantorGL
