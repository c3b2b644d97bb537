// Any bytes through the track file reader. What it accepts is exactly what the
// writer writes back, byte for byte, and reads to finite values at any row;
// what it refuses leaves no keys.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "sync/sync_track.h"
#include "sync/track_file.h"

using namespace VantorGL;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<SyncKey> keys;
  if (!ParseTrackFile(data, size, keys).empty()) {
    if (!keys.empty()) __builtin_trap();
    return 0;
  }
  const std::vector<uint8_t> again = EncodeTrackFile(keys);
  if (again.size() != size || (size && std::memcmp(again.data(), data, size) != 0)) __builtin_trap();
  cSyncTrack track("fuzz");
  track.SetKeys(keys);
  if (track.keys().size() != keys.size()) __builtin_trap();
  for (const SyncKey& key : keys) {
    for (double row : {double(key.row) - 0.5, double(key.row), double(key.row) + 0.25})
      if (!std::isfinite(track.ValueAt(row))) __builtin_trap();
  }
  return 0;
}
