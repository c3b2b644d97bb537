#pragma once
// The sync editor's (GNU Rocket's) protocol, the wire half only: no sockets
// here. The show's program is the client. It sends "hello, synctracker!", the
// editor answers "hello, demo!"; then every message is a command byte and its
// data, big-endian:
//   0 set key     track u32, row u32, value f32, interpolation u8  (editor -> client)
//   1 delete key  track u32, row u32                               (editor -> client)
//   2 get track   name length u32, the name's bytes                (client -> editor)
//   3 set row     row u32                                          (both ways)
//   4 pause       u8, nonzero: paused                              (editor -> client)
//   5 save tracks                                                  (editor -> client)
// A track's index is the order in which the client asked for it, from 0.
//
// MessageReader takes the editor's bytes as they arrive, in pieces of any
// size, and yields whole messages; the first bytes that make no valid message
// (a wrong greeting, an unknown command, a track never asked for, an
// interpolation or value the editor cannot send, a connection closed inside a
// message) stop it with a fault that says what came. It never blocks and holds
// only what a message needs. One reader per connection; one thread.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sync/sync_track.h"

namespace VantorGL::sync {

inline constexpr std::string_view kClientGreeting = "hello, synctracker!";
inline constexpr std::string_view kEditorGreeting = "hello, demo!";
inline constexpr uint16_t kEditorPort = 1338;

enum class Command : uint8_t { kSetKey = 0, kDeleteKey = 1, kGetTrack = 2, kSetRow = 3, kPause = 4, kSaveTracks = 5 };

struct Message {
  Command command = Command::kSaveTracks;
  uint32_t track = 0;  // set key, delete key
  uint32_t row = 0;    // set key, delete key, set row
  float value = 0;     // set key
  SyncInterpolation interpolation = SyncInterpolation::kStep;  // set key
  bool paused = false;  // pause
};

class MessageReader {
 public:
  enum class Result { kMessage, kNeedMore, kFault };

  // How many tracks the client has asked for so far: set and delete key for an
  // index at or past it are faults.
  void SetTracksAsked(uint32_t count) { tracksAsked_ = count; }

  // Appends the bytes that came.
  void Feed(const uint8_t* data, size_t size);
  // The next whole message, if the bytes fed hold one. kFault stays once met.
  Result Next(Message& out);
  // The connection closed (call once Next has said kNeedMore): a fault when
  // it ended before the greeting was whole or inside a message, else true.
  bool Close();

  bool greeted() const { return greeted_; }
  const std::string& fault() const { return fault_; }

 private:
  Result Fail(std::string what);
  size_t Pending() const { return buffer_.size() - start_; }

  std::vector<uint8_t> buffer_;
  size_t start_ = 0;  // the first byte not yet read
  bool greeted_ = false;
  uint32_t tracksAsked_ = 0;
  std::string fault_;
};

// The client's messages, appended to `out`.
void AppendGreeting(std::vector<uint8_t>& out);
void AppendGetTrack(std::vector<uint8_t>& out, std::string_view name);
void AppendSetRow(std::vector<uint8_t>& out, uint32_t row);

}  // namespace VantorGL::sync
