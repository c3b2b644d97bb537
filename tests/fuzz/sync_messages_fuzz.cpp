// Any bytes as the editor's side of the connection, fed whole and in pieces
// whose sizes the input's first byte chooses: both read the same messages and
// the same fault; every message read names a track that was asked for and
// carries what the editor can send; applied to tracks, keys stay in order.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "makers/sync_protocol.h"
#include "sync/sync_track.h"

using namespace VantorGL;
using namespace VantorGL::sync;

namespace {

constexpr uint32_t kTracks = 3;

struct Outcome {
  std::vector<Message> messages;
  std::string fault;
};

Outcome ReadAll(const uint8_t* data, size_t size, size_t piece) {
  MessageReader reader;
  reader.SetTracksAsked(kTracks);
  Outcome out;
  MessageReader::Result result = MessageReader::Result::kNeedMore;
  for (size_t at = 0; at < size && result != MessageReader::Result::kFault; at += piece) {
    reader.Feed(data + at, std::min(piece, size - at));
    Message m;
    while ((result = reader.Next(m)) == MessageReader::Result::kMessage) out.messages.push_back(m);
  }
  if (result != MessageReader::Result::kFault) reader.Close();
  out.fault = reader.fault();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t piece = 1 + data[0] % 16;
  const Outcome whole = ReadAll(data + 1, size - 1, size);
  const Outcome pieces = ReadAll(data + 1, size - 1, piece);
  if (whole.fault != pieces.fault || whole.messages.size() != pieces.messages.size()) __builtin_trap();
  std::vector<cSyncTrack> tracks(kTracks, cSyncTrack("fuzz"));
  for (size_t i = 0; i < whole.messages.size(); ++i) {
    const Message& m = whole.messages[i];
    const Message& n = pieces.messages[i];
    if (m.command != n.command || m.track != n.track || m.row != n.row) __builtin_trap();
    if (m.command == Command::kSetKey) {
      if (m.track >= kTracks || !std::isfinite(m.value)) __builtin_trap();
      if (uint8_t(m.interpolation) >= kSyncInterpolationCount) __builtin_trap();
      tracks[m.track].SetKey({m.row, m.value, m.interpolation});
    } else if (m.command == Command::kDeleteKey) {
      if (m.track >= kTracks) __builtin_trap();
      tracks[m.track].DeleteKey(m.row);
    }
  }
  for (const cSyncTrack& track : tracks)
    for (size_t i = 1; i < track.keys().size(); ++i)
      if (track.keys()[i].row <= track.keys()[i - 1].row) __builtin_trap();
  return 0;
}
