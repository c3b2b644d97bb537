// The 3DS reader over files built byte by byte, over broken files (each problem
// kept harmless and logged once), over real models truncated at every chunk
// boundary, and against lib3ds on the same real models.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "scenedata/byte_reader.h"
#include "scenedata/model_3ds.h"
#include "shell/debug_system.h"
#include "tests/support/chunk3ds.h"

#ifdef HAVE_LIB3DS
#include <lib3ds/camera.h>
#include <lib3ds/file.h>
#include <lib3ds/light.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>
#endif

using namespace VantorGL;
using namespace vantor_test;
namespace fs = std::filesystem;

namespace {

const char* kModels = "/usr/share/assimp/models/3DS";

// Sends the debug log to a file of its own and reads back the reader's lines.
class LogCapture {
 public:
  LogCapture() {
    path_ = fs::temp_directory_path() / ("model3ds_log_" + std::to_string(::getpid()) + ".log");
    cDebugSystem::Instance().Open(path_.c_str());
  }
  ~LogCapture() {
    cDebugSystem::Instance().file.close();
    fs::remove(path_);
  }
  std::vector<std::string> Lines() const {
    std::ifstream in(path_);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) {
      if (line.find("(c3DsModelSystem) ") != std::string::npos) out.push_back(line);
    }
    return out;
  }
  std::string All() const {
    std::string all;
    for (const std::string& l : Lines()) all += l + "\n";
    return all;
  }

 private:
  fs::path path_;
};

bool Parse(c3DsModelSystem& model, const std::vector<uint8_t>& bytes) {
  return model.LoadFromBytes(bytes.data(), bytes.size());
}

void ExpectVec(const float* v, float x, float y, float z, float eps = 1e-6f) {
  EXPECT_NEAR(v[0], x, eps);
  EXPECT_NEAR(v[1], y, eps);
  EXPECT_NEAR(v[2], z, eps);
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> RealModels() {
  std::vector<fs::path> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(kModels, ec)) {
    std::string ext = e.path().extension().string();
    for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (ext == ".3ds") out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// One triangle, counter-clockwise seen from +Z in the file.
const std::vector<Vec3> kTriangle = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};

}  // namespace

TEST(Model3ds, VerticesTurnToYUpAndOneTriangleGetsItsFlatNormal) {
  LogCapture log;
  c3DsModelSystem model;
  std::vector<Vec3> vertices = kTriangle;
  vertices.push_back({1, 2, 3});  // in no face: its normal stays zero
  ASSERT_TRUE(Parse(model, File3ds({Object("Tri", {VertexList(vertices), FaceList({{0, 1, 2}})})})));
  EXPECT_EQ(log.Lines().size(), 0u) << log.All();
  ASSERT_EQ(model.meshCount, 1);
  ASSERT_EQ(model.meshes.size(), 1u);
  const Mesh3Ds& m = model.meshes[0];
  EXPECT_STREQ(m.name, "Tri");
  EXPECT_EQ(m.vertexCount, 4);
  EXPECT_EQ(m.faceIndexCount, 3);
  EXPECT_EQ(m.hasTexCoords, 0);
  ExpectVec(&m.vertices[9], 1, 3, -2);
  ExpectVec(&m.vertices[6], 0, 0, -1);
  for (int i = 0; i < 3; ++i) ExpectVec(&m.normals[i * 3], 0, 1, 0);
  ExpectVec(&m.normals[9], 0, 0, 0);
  EXPECT_EQ(m.groupCount, 0);  // no group: nothing to draw
}

TEST(Model3ds, SharedVerticesAreWeightedByFaceArea) {
  c3DsModelSystem model;
  // Face 0 (area 0.5) has the stored normal +Y; face 1 (area 1) has -Z. They share
  // the file vertices 0 and 1.
  const std::vector<Vec3> vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 2}};
  ASSERT_TRUE(Parse(model, File3ds({Object("Pair", {VertexList(vertices), FaceList({{0, 1, 2}, {1, 0, 3}})})})));
  const Mesh3Ds& m = model.meshes[0];
  const float s = 1.0f / std::sqrt(5.0f);
  ExpectVec(&m.normals[0], 0, s, -2 * s);
  ExpectVec(&m.normals[3], 0, s, -2 * s);
  ExpectVec(&m.normals[6], 0, 1, 0);
  ExpectVec(&m.normals[9], 0, 0, -1);
}

TEST(Model3ds, FacesBeforeVerticesLoadTheSame) {
  const std::vector<Vec3> vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0.5f}};
  const std::vector<Face3> faces = {{0, 1, 2}, {1, 3, 2}};
  c3DsModelSystem usual, reversed;
  ASSERT_TRUE(Parse(usual, File3ds({Object("M", {VertexList(vertices), MappingList({{0, 0}, {1, 0}, {0, 1}, {1, 1}}),
                                                  FaceList(faces, {FaceGroup("x", {0, 1})})})})));
  ASSERT_TRUE(Parse(reversed, File3ds({Object("M", {FaceList(faces, {FaceGroup("x", {0, 1})}),
                                                     MappingList({{0, 0}, {1, 0}, {0, 1}, {1, 1}}),
                                                     VertexList(vertices)})})));
  const Mesh3Ds& a = usual.meshes[0];
  const Mesh3Ds& b = reversed.meshes[0];
  EXPECT_EQ(a.vertices, b.vertices);
  EXPECT_EQ(a.normals, b.normals);
  EXPECT_EQ(a.texCoords, b.texCoords);
  EXPECT_EQ(a.faces, b.faces);
  ASSERT_EQ(b.groupCount, 1);
  EXPECT_EQ(b.groups[0].indices, (std::vector<uint16_t>{0, 1, 2, 1, 3, 2}));
  EXPECT_EQ(b.groups[0].indexCount, 6);
  EXPECT_EQ(b.hasTexCoords, 1);
  EXPECT_EQ(b.texCoordCount, 4);
  EXPECT_EQ(b.texCoords[6], 1.0f);
}

TEST(Model3ds, MaterialsColoursAndGroupMaterialIndices) {
  LogCapture log;
  c3DsModelSystem model;
  Chunk3ds light(0x4000);  // an object without a mesh (a light) gives an empty mesh
  light.Name("Lamp").Add(Chunk3ds(0x4600).F32(1).F32(2).F32(3));
  Chunk3ds keyframer(0xB000);
  keyframer.Add(Chunk3ds(0xB00A).U16(5));
  Chunk3ds main(0x4D4D);
  Chunk3ds editor(0x3D3D);
  editor.Add(Chunk3ds(0x3D3E).U32(3))
      .Add(FloatColorMaterial("Gold", 1.0f, 0.5f, 0.0f))
      .Add(light)
      .Add(Object("Box", {VertexList(kTriangle),
                          FaceList({{0, 1, 2}}, {FaceGroup("Skin", {0}), FaceGroup("Gold", {0}),
                                                 FaceGroup("Nothing", {0})})}))
      .Add(ByteColorMaterial("Skin", 10, 20, 30));
  main.Add(editor).Add(keyframer);
  ASSERT_TRUE(Parse(model, main.Bytes()));
  EXPECT_EQ(log.Lines().size(), 0u) << log.All();

  ASSERT_EQ(model.materialCount, 2);
  EXPECT_STREQ(model.materials[0].name, "Gold");
  EXPECT_EQ(std::vector<int>(model.materials[0].color, model.materials[0].color + 4),
            (std::vector<int>{255, 127, 0, 255}));
  EXPECT_STREQ(model.materials[1].name, "Skin");
  EXPECT_EQ(std::vector<int>(model.materials[1].color, model.materials[1].color + 4),
            (std::vector<int>{10, 20, 30, 255}));

  ASSERT_EQ(model.meshCount, 2);
  EXPECT_STREQ(model.meshes[0].name, "Lamp");
  EXPECT_EQ(model.meshes[0].vertexCount, 0);
  const Mesh3Ds& box = model.meshes[1];
  ASSERT_EQ(box.groupCount, 3);
  EXPECT_EQ(box.groups[0].materialIndex, 1);
  EXPECT_EQ(box.groups[1].materialIndex, 0);
  EXPECT_EQ(box.groups[2].materialIndex, 2);  // no such material: the material count
}

TEST(Model3ds, QuotedPathsAndFilesThatCannotBeOpened) {
  EXPECT_EQ(c3DsModelSystem::StripQuotes("data/a.3ds"), "data/a.3ds");
  EXPECT_EQ(c3DsModelSystem::StripQuotes("\"data/a b.3ds\""), "data/a b.3ds");
  EXPECT_EQ(c3DsModelSystem::StripQuotes("\"\"x.3ds\" trailing"), "x.3ds");
  EXPECT_EQ(c3DsModelSystem::StripQuotes("x.3ds\"y\""), "x.3ds");

  LogCapture log;
  const fs::path dir = fs::temp_directory_path() / ("model3ds_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path file = dir / "a b.3ds";
  const auto bytes = File3ds({Object("Tri", {VertexList(kTriangle), FaceList({{0, 1, 2}})})});
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
  c3DsModelSystem model;
  model.Load(std::string("\"").append(file.string()).append("\""));
  ASSERT_EQ(model.meshCount, 1);
  EXPECT_EQ(model.meshes[0].vertexCount, 3);
  EXPECT_TRUE(log.Lines().empty()) << log.All();

  model.Load((dir / "missing.3ds").string());
  EXPECT_EQ(model.meshCount, 0);
  EXPECT_TRUE(model.meshes.empty());
  ASSERT_EQ(log.Lines().size(), 1u);
  EXPECT_NE(log.Lines()[0].find("missing.3ds"), std::string::npos);
  fs::remove_all(dir);
}

// Each broken file: what must survive, and exactly one log line.
TEST(Model3ds, EachProblemIsDroppedKeptSmallAndLoggedOnce) {
  const std::string longName(80, 'N');
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::function<void(const c3DsModelSystem&)> check;
  };
  const Chunk3ds good = Object("Good", {VertexList(kTriangle), FaceList({{0, 1, 2}}, {FaceGroup("m", {0})})});
  auto goodKept = [](const c3DsModelSystem& m) {
    ASSERT_GE(m.meshes.size(), 1u);
    EXPECT_STREQ(m.meshes[0].name, "Good");
    EXPECT_EQ(m.meshes[0].vertexCount, 3);
    ASSERT_EQ(m.meshes[0].groupCount, 1);
    EXPECT_EQ(m.meshes[0].groups[0].indexCount, 3);
  };

  std::vector<Case> cases;
  cases.push_back({"empty file", {}, [](const c3DsModelSystem& m) { EXPECT_EQ(m.meshCount, 0); }});
  cases.push_back({"half a header", {0x4D, 0x4D, 0x10}, [](const c3DsModelSystem& m) { EXPECT_EQ(m.meshCount, 0); }});
  cases.push_back({"main length below the header", Chunk3ds(0x4D4D).ForceLength(5).Bytes(),
                   [](const c3DsModelSystem& m) { EXPECT_EQ(m.meshCount, 0); }});
  {
    // A zero length after a good object would never advance.
    Chunk3ds editor(0x3D3D);
    editor.Add(good).Add(Chunk3ds(0x4000).Name("Never").ForceLength(0));
    Chunk3ds main(0x4D4D);
    main.Add(editor);
    cases.push_back({"zero chunk length", main.Bytes(), [&](const c3DsModelSystem& m) {
                       goodKept(m);
                       EXPECT_EQ(m.meshCount, 1);
                     }});
  }
  {
    // The vertex list claims more than its mesh holds; the file goes on after it.
    Chunk3ds vertices = VertexList(kTriangle);
    vertices.ForceLength(200);
    Chunk3ds editor(0x3D3D);
    editor.Add(Object("Over", {vertices})).Add(good);
    Chunk3ds main(0x4D4D);
    main.Add(editor);
    cases.push_back({"chunk past its parent", main.Bytes(), [](const c3DsModelSystem& m) {
                       ASSERT_EQ(m.meshCount, 2);
                       EXPECT_EQ(m.meshes[0].vertexCount, 3);
                       EXPECT_STREQ(m.meshes[1].name, "Good");
                     }});
  }
  {
    // A file cut inside the second object: every open chunk runs past the end,
    // which is one problem.
    std::vector<uint8_t> bytes = File3ds({good, good});
    bytes.resize(bytes.size() - 10);
    cases.push_back({"file ends early", bytes, [&](const c3DsModelSystem& m) {
                       goodKept(m);
                       ASSERT_EQ(m.meshCount, 2);
                       EXPECT_EQ(m.meshes[1].groupCount, 0);
                     }});
  }
  {
    Chunk3ds vertices(0x4110);
    vertices.U16(10).F32(1).F32(2).F32(3).F32(4).F32(5).F32(6).F32(7);  // two whole vertices
    cases.push_back({"vertex count beyond the data", File3ds({Object("V", {vertices})}),
                     [](const c3DsModelSystem& m) {
                       EXPECT_EQ(m.meshes[0].vertexCount, 2);
                       ExpectVec(&m.meshes[0].vertices[3], 4, 6, -5);
                     }});
  }
  {
    Chunk3ds faces(0x4120);
    faces.U16(3).U16(0).U16(1).U16(2).U16(0);  // one whole face of three
    cases.push_back({"face count beyond the data", File3ds({Object("F", {VertexList(kTriangle), faces})}),
                     [](const c3DsModelSystem& m) {
                       EXPECT_EQ(m.meshes[0].faceIndexCount, 3);
                       EXPECT_EQ(m.meshes[0].groupCount, 0);
                     }});
  }
  {
    Chunk3ds group(0x4130);
    group.Name("m").U16(4).U16(0);  // one face index of four
    Chunk3ds faces = FaceList({{0, 1, 2}});
    faces.Add(group);
    cases.push_back({"group count beyond the data", File3ds({Object("G", {VertexList(kTriangle), faces})}),
                     [](const c3DsModelSystem& m) {
                       ASSERT_EQ(m.meshes[0].groupCount, 1);
                       EXPECT_EQ(m.meshes[0].groups[0].indexCount, 3);
                     }});
  }
  {
    std::vector<Vec3> four = kTriangle;
    four.push_back({5, 5, 5});
    // Face 1 names vertex 4, one past the last; the group's face 2 must still be
    // the file's face 2.
    cases.push_back({"face index beyond the vertices",
                     File3ds({Object("I", {VertexList(four),
                                           FaceList({{0, 1, 2}, {0, 4, 1}, {3, 1, 2}}, {FaceGroup("m", {2, 1, 0})})})}),
                     [](const c3DsModelSystem& m) {
                       const Mesh3Ds& mesh = m.meshes[0];
                       EXPECT_EQ(mesh.faces, (std::vector<uint16_t>{0, 1, 2, 3, 1, 2}));
                       ASSERT_EQ(mesh.groupCount, 1);
                       EXPECT_EQ(mesh.groups[0].indices, (std::vector<uint16_t>{3, 1, 2, 0, 1, 2}));
                     }});
  }
  cases.push_back({"group face index beyond the faces",
                   File3ds({Object("J", {VertexList(kTriangle), FaceList({{0, 1, 2}}, {FaceGroup("m", {5, 0, 1})})})}),
                   [](const c3DsModelSystem& m) {
                     ASSERT_EQ(m.meshes[0].groupCount, 1);
                     EXPECT_EQ(m.meshes[0].groups[0].indices, (std::vector<uint16_t>{0, 1, 2}));
                   }});
  {
    Chunk3ds object(0x4000);
    object.Raw(std::vector<uint8_t>(longName.begin(), longName.end()))
        .Name("")
        .Add(Chunk3ds(0x4100).Add(VertexList(kTriangle)));
    cases.push_back({"object name without a terminator", File3ds({object, good}),
                     [&](const c3DsModelSystem& m) {
                       ASSERT_EQ(m.meshCount, 2);
                       EXPECT_STREQ(m.meshes[0].name, "");
                       EXPECT_EQ(m.meshes[0].vertexCount, 0);
                       EXPECT_STREQ(m.meshes[1].name, "Good");
                     }});
  }
  {
    Chunk3ds material(0xAFFF);
    material.Add(Chunk3ds(0xA000).Raw(std::vector<uint8_t>(longName.begin(), longName.end())));
    cases.push_back({"material name without a terminator", File3ds({material, good}),
                     [&](const c3DsModelSystem& m) {
                       ASSERT_EQ(m.materialCount, 1);
                       EXPECT_STREQ(m.materials[0].name, "");
                       goodKept(m);
                     }});
  }
  {
    Chunk3ds group(0x4130);
    group.Raw(std::vector<uint8_t>(longName.begin(), longName.end())).U8(0).U16(1).U16(0);
    Chunk3ds faces = FaceList({{0, 1, 2}}, {FaceGroup("m", {0})});
    faces.Add(group);
    cases.push_back({"group name without a terminator", File3ds({Object("N", {VertexList(kTriangle), faces})}),
                     [](const c3DsModelSystem& m) { EXPECT_EQ(m.meshes[0].groupCount, 1); }});
  }
  {
    Chunk3ds color(0x0010);
    color.F32(1).F32(1);  // 8 of 12 bytes
    Chunk3ds material(0xAFFF);
    material.Add(Chunk3ds(0xA000).Name("Half")).Add(Chunk3ds(0xA020).Add(color));
    cases.push_back({"short colour", File3ds({material}), [](const c3DsModelSystem& m) {
                       EXPECT_STREQ(m.materials[0].name, "Half");
                       EXPECT_EQ(m.materials[0].color[3], 0);
                     }});
  }
  cases.push_back({"mapping list shorter than the vertex list",
                   File3ds({Object("T", {VertexList(kTriangle), MappingList({{0.5f, 0.25f}}),
                                         FaceList({{0, 1, 2}}, {FaceGroup("m", {0})})})}),
                   [](const c3DsModelSystem& m) {
                     const Mesh3Ds& mesh = m.meshes[0];
                     EXPECT_EQ(mesh.texCoords, (std::vector<float>{0.5f, 0.25f, 0, 0, 0, 0}));
                     EXPECT_EQ(mesh.texCoordCount, 3);
                   }});
  {
    Chunk3ds editor(0x3D3D);
    editor.Add(good).U16(0xFFFF).U16(3);  // four stray bytes at the end
    Chunk3ds main(0x4D4D);
    main.Add(editor);
    cases.push_back({"stray bytes", main.Bytes(), goodKept});
  }

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LogCapture log;
    c3DsModelSystem model;
    EXPECT_FALSE(Parse(model, c.bytes));
    EXPECT_EQ(log.Lines().size(), 1u) << log.All();
    c.check(model);
  }
}

TEST(Model3ds, OutOfRangeFloatColoursAreClamped) {
  c3DsModelSystem model;
  ASSERT_TRUE(Parse(model, File3ds({FloatColorMaterial("Hot", 7.0f, -1.0f, std::nanf(""))})));
  EXPECT_EQ(std::vector<int>(model.materials[0].color, model.materials[0].color + 4),
            (std::vector<int>{255, 0, 0, 255}));
}

// ---- real models ----------------------------------------------------------

namespace {
// Every chunk's start and end offset in a well-formed file (a plain walk that
// descends only into the containers the reader opens).
void Boundaries(const std::vector<uint8_t>& bytes, size_t begin, size_t end, std::vector<size_t>& out) {
  size_t pos = begin;
  while (pos + 6 <= end) {
    ByteReader r(bytes.data() + pos, end - pos);
    const uint16_t id = r.U16();
    const uint32_t length = r.U32();
    if (length < 6 || length > end - pos) return;
    out.push_back(pos);
    out.push_back(pos + length);
    size_t inner = pos + 6;
    if (id == 0x4000) {
      while (inner < pos + length && bytes[inner] != 0) ++inner;
      ++inner;
    }
    if (id == 0x4D4D || id == 0x3D3D || id == 0x4000 || id == 0x4100 || id == 0xAFFF || id == 0xA020) {
      Boundaries(bytes, inner, pos + length, out);
    }
    pos += length;
  }
}
}  // namespace

TEST(Model3ds, RealModelsTruncatedAtEveryChunkBoundary) {
  const auto models = RealModels();
  ASSERT_FALSE(models.empty()) << "no models in " << kModels << ": apt-get install assimp-testmodels";
  for (const fs::path& path : models) {
    SCOPED_TRACE(path.string());
    const std::vector<uint8_t> bytes = ReadAll(path);
    c3DsModelSystem whole;
    {
      LogCapture log;
      ASSERT_TRUE(Parse(whole, bytes)) << log.All();
    }
    std::vector<size_t> cuts;
    Boundaries(bytes, 0, bytes.size(), cuts);
    ASSERT_GT(cuts.size(), 10u);
    for (size_t cut : cuts) {
      if (cut >= bytes.size()) continue;
      SCOPED_TRACE("cut at " + std::to_string(cut));
      LogCapture log;
      c3DsModelSystem part;
      const std::vector<uint8_t> head(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut));
      EXPECT_FALSE(Parse(part, head));
      const auto lines = log.Lines();
      ASSERT_GE(lines.size(), 1u);
      if (cut >= 6) {
        EXPECT_NE(lines[0].find("file ends early"), std::string::npos) << lines[0];
      }
      // Everything that lies wholly before the cut loads as in the whole file.
      ASSERT_LE(part.meshes.size(), whole.meshes.size());
      for (size_t i = 0; i + 1 < part.meshes.size(); ++i) {
        EXPECT_EQ(part.meshes[i].vertices, whole.meshes[i].vertices);
        EXPECT_EQ(part.meshes[i].faces, whole.meshes[i].faces);
        EXPECT_EQ(part.meshes[i].groupCount, whole.meshes[i].groupCount);
      }
    }
  }
}

#ifdef HAVE_LIB3DS
TEST(Model3ds, RealModelsAgreeWithLib3ds) {
  const auto models = RealModels();
  ASSERT_FALSE(models.empty()) << "no models in " << kModels << ": apt-get install assimp-testmodels";
  size_t comparedMeshes = 0, comparedFaces = 0;
  for (const fs::path& path : models) {
    SCOPED_TRACE(path.string());
    Lib3dsFile* file = lib3ds_file_load(path.c_str());
    ASSERT_NE(file, nullptr);
    c3DsModelSystem model;
    model.Load(path.string());

    int peerMaterials = 0;
    for (Lib3dsMaterial* m = file->materials; m; m = m->next) ++peerMaterials;
    EXPECT_EQ(model.materialCount, peerMaterials);
    int others = 0;
    for (Lib3dsCamera* c = file->cameras; c; c = c->next) ++others;
    for (Lib3dsLight* l = file->lights; l; l = l->next) ++others;
    int peerMeshes = 0;
    std::vector<bool> used(model.meshes.size(), false);
    for (Lib3dsMesh* mesh = file->meshes; mesh; mesh = mesh->next) {
      ++peerMeshes;
      SCOPED_TRACE(mesh->name);
      size_t k = 0;
      while (k < model.meshes.size() && (used[k] || std::string(model.meshes[k].name) != mesh->name)) ++k;
      ASSERT_LT(k, model.meshes.size()) << "no mesh named " << mesh->name;
      used[k] = true;
      const Mesh3Ds& ours = model.meshes[k];
      ++comparedMeshes;
      comparedFaces += mesh->faces;
      ASSERT_EQ(static_cast<uint32_t>(ours.vertexCount), mesh->points);
      ASSERT_EQ(static_cast<uint32_t>(ours.faceIndexCount), mesh->faces * 3);
      if (mesh->texels) {
        EXPECT_EQ(static_cast<uint32_t>(ours.texCoordCount), mesh->texels);
      }
      for (uint32_t i = 0; i < mesh->points; ++i) {
        const float* p = mesh->pointL[i].pos;
        ASSERT_EQ(ours.vertices[i * 3 + 0], p[0]);
        ASSERT_EQ(ours.vertices[i * 3 + 1], p[2]);
        ASSERT_EQ(ours.vertices[i * 3 + 2], -p[1]);
      }
      for (uint32_t f = 0; f < mesh->faces; ++f) {
        for (int c = 0; c < 3; ++c) ASSERT_EQ(ours.faces[f * 3 + c], mesh->faceL[f].points[c]);
      }
    }
    EXPECT_EQ(model.meshCount, peerMeshes + others);
    lib3ds_file_free(file);
  }
  EXPECT_GE(comparedMeshes, 10u);
  EXPECT_GE(comparedFaces, 1000u);
  std::printf("compared %zu meshes, %zu faces with lib3ds\n", comparedMeshes, comparedFaces);
}
#endif
