#pragma once
// SyncConnection: the preview's TCP link to a sync editor (GNU Rocket), the
// one place in the makers' programs that holds a socket. Poll it once a frame:
// it never blocks, but for the lookup of the editor's name, once, at the first
// try (nothing for a numeric address or localhost). It connects (non-blocking, again about once a second while
// no editor answers), greets the editor, asks for every track of the show in
// the order the show asked for them (cSyncSystem::TrackAt, later tracks as
// they come), applies the editor's set key and delete key to those tracks,
// and hands the rest (set row, pause, save tracks) to the caller. Bytes that
// make no valid message close the link with a line naming what came
// (sync::MessageReader); a closed link is tried again like a refused one.
//
// Lines for a person (connected, lost, refused, a fault) come through `say`,
// each once per change of state. Main thread only.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "makers/sync_protocol.h"
#include "sync/sync_system.h"

namespace VantorGL::sync {

struct EditorAddress {
  std::string host = "localhost";
  uint16_t port = kEditorPort;
};

// "HOST:PORT", "HOST" or ":PORT" (the rest the default's); an error text, or
// "" when `text` is good.
std::string ReadEditorAddress(const std::string& text, EditorAddress& address);
std::string ToString(const EditorAddress& address);

class SyncConnection {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kRetry{1000};

  // `sync` is the show's and outlives the connection.
  SyncConnection(EditorAddress address, cSyncSystem& sync, std::function<void(const std::string&)> say);
  ~SyncConnection();
  SyncConnection(const SyncConnection&) = delete;
  SyncConnection& operator=(const SyncConnection&) = delete;

  // Connects, sends and reads what it can without waiting. Key edits are
  // applied to the tracks here (`keysChanged` says whether any was); every
  // other message the editor sent is appended to `messages`, in order.
  void Poll(Clock::time_point now, std::vector<Message>& messages, bool& keysChanged);
  // Moves the editor's cursor (sent at the next Poll if the socket is full).
  void SendRow(uint32_t row);

  bool connected() const { return state_ == State::kConnected; }
  // How many times the link has been made: a new editor knows nothing yet.
  int links() const { return links_; }
  // What the overlay shows of the link: "editor at HOST:PORT" or "no editor".
  std::string Status() const;

 private:
  enum class State { kIdle, kConnecting, kConnected };
  void StartConnecting(Clock::time_point now);
  void FinishConnecting(Clock::time_point now);
  void Drop(Clock::time_point now, const std::string& why);
  void AskNewTracks();
  bool Flush(Clock::time_point now);
  bool Read(Clock::time_point now, std::vector<Message>& messages, bool& keysChanged);

  EditorAddress address_;
  cSyncSystem& sync_;
  std::function<void(const std::string&)> say_;
  State state_ = State::kIdle;
  int fd_ = -1;
  // The editor's IPv4 address and port, both in network order: its name is
  // looked up once, at the first try.
  struct Resolved {
    uint32_t address = 0;
    uint16_t port = 0;
  };
  std::optional<Resolved> resolved_;
  Clock::time_point nextTry_{};
  Clock::time_point connectGivenUp_{};  // a connect still on its way then is dropped
  bool saidDown_ = false;  // "no editor" said since the link was last up
  size_t tracksAsked_ = 0;
  int links_ = 0;
  MessageReader reader_;
  std::vector<uint8_t> out_;
};

}  // namespace VantorGL::sync
