// Any text through the project file reader. What it accepts has unique track
// names, keys in rising rows with the editor's interpolations and finite
// values; what it refuses leaves nothing.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "sync/rocket_project.h"

using namespace VantorGL;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RocketProject project;
  const std::string fault = ParseRocketProject(std::string_view(reinterpret_cast<const char*>(data), size), project);
  if (!fault.empty()) {
    if (!project.tracks.empty() || fault.rfind("line ", 0) != 0) __builtin_trap();
    return 0;
  }
  std::set<std::string> names;
  for (const RocketProject::Track& track : project.tracks) {
    if (!names.insert(track.name).second) __builtin_trap();
    for (size_t i = 0; i < track.keys.size(); ++i) {
      const SyncKey& key = track.keys[i];
      if (i > 0 && key.row <= track.keys[i - 1].row) __builtin_trap();
      if (uint8_t(key.interpolation) >= kSyncInterpolationCount || !std::isfinite(key.value)) __builtin_trap();
    }
  }
  return 0;
}
