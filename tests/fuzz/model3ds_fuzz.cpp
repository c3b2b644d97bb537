// Any bytes through the 3DS reader; what it keeps must be safe to draw: every face
// and group index names a vertex, mapping lists cover the vertices, counts match.
#include <cstddef>
#include <cstdint>

#include "scenedata/model_3ds.h"
#include "shell/debug_system.h"

using namespace VantorGL;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cDebugSystem::Instance().enabled = false;
  c3DsModelSystem model;
  model.LoadFromBytes(data, size);
  if (model.meshes.size() != size_t(model.meshCount) || model.materials.size() != size_t(model.materialCount))
    __builtin_trap();
  for (const Mesh3Ds& mesh : model.meshes) {
    const auto vertices = size_t(mesh.vertexCount);
    if (mesh.vertices.size() != vertices * 3 || mesh.normals.size() != vertices * 3) __builtin_trap();
    if (mesh.hasTexCoords && mesh.texCoords.size() < vertices * 2) __builtin_trap();
    if (mesh.faces.size() != size_t(mesh.faceIndexCount) || mesh.groups.size() != size_t(mesh.groupCount))
      __builtin_trap();
    for (uint16_t i : mesh.faces)
      if (i >= vertices) __builtin_trap();
    for (const FaceGroup3Ds& group : mesh.groups) {
      if (group.indices.size() != size_t(group.indexCount) || group.indices.size() % 3 != 0) __builtin_trap();
      if (group.materialIndex < 0 || group.materialIndex > model.materialCount) __builtin_trap();
      for (uint16_t i : group.indices)
        if (i >= vertices) __builtin_trap();
    }
  }
  return 0;
}
