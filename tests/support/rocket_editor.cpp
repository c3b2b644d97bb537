#include "tests/support/rocket_editor.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace vantor_test {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

uint32_t U32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

}  // namespace

StandInEditor::~StandInEditor() { Stop(); }

bool StandInEditor::Listen(uint16_t port) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) return false;
  const int one = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  socklen_t length = sizeof address;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 4) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    error_ = std::string("cannot listen: ") + std::strerror(errno);
    Stop();
    return false;
  }
  port_ = ntohs(address.sin_port);
  return true;
}

void StandInEditor::Drop() {
  if (client_ >= 0) close(client_);
  client_ = -1;
  in_.clear();
}

void StandInEditor::Stop() {
  Drop();
  if (listener_ >= 0) close(listener_);
  listener_ = -1;
}

bool StandInEditor::Accept(int timeoutMs) {
  Drop();
  tracks_.clear();
  rows_.clear();
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  pollfd p{listener_, POLLIN, 0};
  if (listener_ < 0 || poll(&p, 1, timeoutMs) <= 0) {
    error_ = "no client came";
    return false;
  }
  client_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (client_ < 0) return false;
  const std::string greeting = "hello, synctracker!";
  while (in_.size() < greeting.size()) {
    if (!Read(MsLeft(deadline)) || MsLeft(deadline) == 0) break;
  }
  if (in_.size() < greeting.size() || std::string(in_.begin(), in_.begin() + 19) != greeting) {
    error_ = "the client's greeting was \"" + std::string(in_.begin(), in_.end()) + "\"";
    return false;
  }
  in_.erase(in_.begin(), in_.begin() + 19);
  const std::string answer = "hello, demo!";
  return Send(std::vector<uint8_t>(answer.begin(), answer.end()));
}

// Reads what comes within `timeoutMs` (what came already without waiting).
bool StandInEditor::Read(int timeoutMs) {
  if (client_ < 0) return false;
  const size_t before = tracks_.size() + rows_.size();
  Parse();
  if (tracks_.size() + rows_.size() > before) timeoutMs = 0;
  pollfd p{client_, POLLIN, 0};
  bool open = true;
  if (poll(&p, 1, timeoutMs) > 0) {
    uint8_t buffer[4096];
    const ssize_t n = recv(client_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) in_.insert(in_.end(), buffer, buffer + n);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) open = false;
  }
  Parse();
  if (!open) Drop();
  return open;
}

// Takes whole client messages out of what came: get track and set row.
void StandInEditor::Parse() {
  for (;;) {
    if (in_.empty() || (in_[0] != 2 && in_[0] != 3)) break;  // the greeting, or a byte left for the test
    if (in_[0] == 3) {
      if (in_.size() < 5) break;
      rows_.push_back(U32(&in_[1]));
      in_.erase(in_.begin(), in_.begin() + 5);
    } else {
      if (in_.size() < 5 || in_.size() < 5 + U32(&in_[1])) break;
      const uint32_t length = U32(&in_[1]);
      tracks_.emplace_back(in_.begin() + 5, in_.begin() + 5 + length);
      in_.erase(in_.begin(), in_.begin() + 5 + length);
    }
  }
}

bool StandInEditor::WaitForTracks(size_t count, int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (tracks_.size() < count && MsLeft(deadline) > 0)
    if (!Read(MsLeft(deadline))) break;
  return tracks_.size() >= count;
}

bool StandInEditor::WaitForRow(uint32_t row, int timeoutMs) {
  return WaitForRowWhere([row](uint32_t r) { return r == row; }, timeoutMs);
}

bool StandInEditor::WaitForRowPast(uint32_t row, int timeoutMs) {
  return WaitForRowWhere([row](uint32_t r) { return r >= row; }, timeoutMs);
}

bool StandInEditor::WaitForRowWhere(const std::function<bool(uint32_t)>& wanted, int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (size_t seen = 0;; ) {
    for (; seen < rows_.size(); ++seen)
      if (wanted(rows_[seen])) return true;
    if (MsLeft(deadline) == 0 || !Read(MsLeft(deadline))) return false;
  }
}

bool StandInEditor::WaitForClose(int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (client_ >= 0 && MsLeft(deadline) > 0) Read(MsLeft(deadline));
  return client_ < 0;
}

bool StandInEditor::Send(const std::vector<uint8_t>& bytes) {
  if (client_ < 0) return false;
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(client_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      error_ = std::string("send: ") + std::strerror(errno);
      return false;
    }
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool StandInEditor::SetKey(uint32_t track, uint32_t row, float value, uint8_t interpolation) {
  std::vector<uint8_t> m{0};
  PutU32(m, track);
  PutU32(m, row);
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  PutU32(m, bits);
  m.push_back(interpolation);
  return Send(m);
}

bool StandInEditor::DeleteKey(uint32_t track, uint32_t row) {
  std::vector<uint8_t> m{1};
  PutU32(m, track);
  PutU32(m, row);
  return Send(m);
}

bool StandInEditor::SetRow(uint32_t row) {
  std::vector<uint8_t> m{3};
  PutU32(m, row);
  return Send(m);
}

bool StandInEditor::Pause(bool paused) { return Send({4, static_cast<uint8_t>(paused ? 1 : 0)}); }
bool StandInEditor::SaveTracks() { return Send({5}); }
bool StandInEditor::SendBytes(const std::vector<uint8_t>& bytes) { return Send(bytes); }

}  // namespace vantor_test
