// Any bytes through the ASE reading and parsing, then a lookup of every object.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scenedata/ase_loader.h"
#include "shell/debug_system.h"

using namespace VantorGL;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cDebugSystem::Instance().enabled = false;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  cFileLoader_ASE loader;
  loader.LoadText(text);
  for (const AnimatedObject& object : loader.objects) {
    if (object.count > object.capacity || object.keyTimes.size() != size_t(object.capacity) ||
        object.keyValues.size() != size_t(object.capacity))
      __builtin_trap();
    if (loader.FindObject(object.name) == nullptr) __builtin_trap();
  }
  return 0;
}
