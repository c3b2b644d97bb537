#include "sync/sync_track.h"

#include <algorithm>

namespace VantorGL {

namespace {

bool KeyBefore(const SyncKey& key, uint32_t row) { return key.row < row; }

}  // namespace

float cSyncTrack::ValueAt(double row) const {
  if (keys_.empty()) return 0.0f;
  // The first key after `row`; the one before it is the key the row lies on or past.
  const auto next = std::upper_bound(keys_.begin(), keys_.end(), row,
                                     [](double r, const SyncKey& key) { return r < key.row; });
  if (next == keys_.begin()) return keys_.front().value;
  if (next == keys_.end()) return keys_.back().value;
  const SyncKey& from = *(next - 1);
  const double t = (row - from.row) / double(next->row - from.row);
  double shaped = 0.0;
  switch (from.interpolation) {
    case SyncInterpolation::kStep: return from.value;
    case SyncInterpolation::kLinear: shaped = t; break;
    case SyncInterpolation::kSmooth: shaped = t * t * (3.0 - 2.0 * t); break;
    case SyncInterpolation::kRamp: shaped = t * t; break;
  }
  return float(from.value + (double(next->value) - from.value) * shaped);
}

void cSyncTrack::SetKey(const SyncKey& key) {
  const auto at = std::lower_bound(keys_.begin(), keys_.end(), key.row, KeyBefore);
  if (at != keys_.end() && at->row == key.row)
    *at = key;
  else
    keys_.insert(at, key);
}

bool cSyncTrack::DeleteKey(uint32_t row) {
  const auto at = std::lower_bound(keys_.begin(), keys_.end(), row, KeyBefore);
  if (at == keys_.end() || at->row != row) return false;
  keys_.erase(at);
  return true;
}

void cSyncTrack::SetKeys(std::vector<SyncKey> keys) {
  std::stable_sort(keys.begin(), keys.end(), [](const SyncKey& a, const SyncKey& b) { return a.row < b.row; });
  // Of equal rows the last one given stays.
  std::vector<SyncKey> unique;
  unique.reserve(keys.size());
  for (const SyncKey& key : keys) {
    if (!unique.empty() && unique.back().row == key.row)
      unique.back() = key;
    else
      unique.push_back(key);
  }
  keys_ = std::move(unique);
}

}  // namespace VantorGL
