#pragma once
// cSyncTrack: one named value of a show keyed to the music's rows, as a sync
// editor (GNU Rocket) keeps it: keys on whole rows, each with a value and the
// interpolation that leads from it to the next key. Read with ValueAt at a
// fractional row: before the first key the first value, after the last key the
// last value, without keys 0. A lookup is a binary search over the keys and
// allocates nothing; SetKey and DeleteKey (the live editor's edits, between
// frames) keep the keys sorted by row. Main thread only.
#include <cstdint>
#include <string>
#include <vector>

namespace VantorGL {

// The editor's numbers for the four interpolations, as its files and its
// messages carry them.
enum class SyncInterpolation : uint8_t { kStep = 0, kLinear = 1, kSmooth = 2, kRamp = 3 };
inline constexpr uint8_t kSyncInterpolationCount = 4;

struct SyncKey {
  uint32_t row = 0;
  float value = 0;
  SyncInterpolation interpolation = SyncInterpolation::kStep;  // from this key to the next
};

class cSyncTrack {
 public:
  explicit cSyncTrack(std::string name) : name_(std::move(name)) {}

  // The editor's name of the track ("group:name" puts it in a group there).
  const std::string& name() const { return name_; }
  // Sorted by row, one key per row.
  const std::vector<SyncKey>& keys() const { return keys_; }

  float ValueAt(double row) const;

  // A key on a row that holds one replaces it.
  void SetKey(const SyncKey& key);
  // False when no key stands on `row`.
  bool DeleteKey(uint32_t row);
  // Every key at once (from a file); they need not be sorted, and of two keys
  // on one row the later one stays.
  void SetKeys(std::vector<SyncKey> keys);

 private:
  std::string name_;
  std::vector<SyncKey> keys_;
};

}  // namespace VantorGL
