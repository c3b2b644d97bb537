#include "makers/sync_connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace VantorGL::sync {

std::string ReadEditorAddress(const std::string& text, EditorAddress& address) {
  const size_t colon = text.rfind(':');
  const std::string host = colon == std::string::npos ? text : text.substr(0, colon);
  if (!host.empty()) address.host = host;
  if (colon == std::string::npos) return host.empty() ? "--sync takes HOST:PORT" : "";
  const std::string port = text.substr(colon + 1);
  char* end = nullptr;
  errno = 0;
  const unsigned long value = std::strtoul(port.c_str(), &end, 10);
  if (port.empty() || *end != '\0' || errno != 0 || value == 0 || value > 65535 || port[0] == '-' || port[0] == '+')
    return "--sync: \"" + port + "\" is not a port (1 to 65535)";
  address.port = static_cast<uint16_t>(value);
  return "";
}

std::string ToString(const EditorAddress& address) { return address.host + ":" + std::to_string(address.port); }

SyncConnection::SyncConnection(EditorAddress address, cSyncSystem& sync, std::function<void(const std::string&)> say)
    : address_(std::move(address)), sync_(sync), say_(std::move(say)) {}

SyncConnection::~SyncConnection() {
  if (fd_ >= 0) close(fd_);
}

std::string SyncConnection::Status() const {
  return state_ == State::kConnected ? "editor at " + ToString(address_) : std::string("no editor");
}

void SyncConnection::Drop(Clock::time_point now, const std::string& why) {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  const bool wasUp = state_ == State::kConnected;
  state_ = State::kIdle;
  nextTry_ = now + kRetry;
  out_.clear();
  // A refused try after a refused try says nothing new.
  if (wasUp || !saidDown_)
    say_(why + "; playing on with the last values, connecting again each second");
  saidDown_ = true;
}

void SyncConnection::StartConnecting(Clock::time_point now) {
  if (!resolved_) {
    addrinfo hints{};
    hints.ai_family = AF_INET;  // the editor listens on IPv4
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int result = getaddrinfo(address_.host.c_str(), std::to_string(address_.port).c_str(), &hints, &found);
    if (result != 0 || !found) {
      Drop(now, "no sync editor at " + ToString(address_) + " (" + gai_strerror(result) + ")");
      return;
    }
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, std::min<size_t>(found->ai_addrlen, sizeof address));
    freeaddrinfo(found);
    resolved_ = Resolved{address.sin_addr.s_addr, address.sin_port};
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = resolved_->address;
  address.sin_port = resolved_->port;
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  int result = -1;
  if (fd_ >= 0) result = connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int error = errno;
  if (fd_ < 0 || (result != 0 && error != EINPROGRESS)) {
    Drop(now, "no sync editor at " + ToString(address_) + " (" + std::strerror(error) + ")");
    return;
  }
  const int one = 1;  // rows go out one small message at a time, each wanted now
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  state_ = State::kConnecting;
  connectGivenUp_ = now + 3 * kRetry;
  if (result == 0) FinishConnecting(now);
}

void SyncConnection::FinishConnecting(Clock::time_point now) {
  pollfd p{fd_, POLLOUT, 0};
  if (poll(&p, 1, 0) <= 0) {  // still on its way
    if (now >= connectGivenUp_) Drop(now, "no sync editor at " + ToString(address_) + " (no answer)");
    return;
  }
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  if (error != 0) {
    Drop(now, "no sync editor at " + ToString(address_) + " (" + std::strerror(error) + ")");
    return;
  }
  state_ = State::kConnected;
  ++links_;
  saidDown_ = false;
  reader_ = MessageReader();
  tracksAsked_ = 0;
  out_.clear();
  AppendGreeting(out_);
  AskNewTracks();
  say_("connected to the sync editor at " + ToString(address_) + "; asked for " + std::to_string(tracksAsked_) +
       " tracks");
}

// Tracks the show asked for since the last ask, in its order: their indices
// are the editor's.
void SyncConnection::AskNewTracks() {
  for (; tracksAsked_ < sync_.TrackCount(); ++tracksAsked_) AppendGetTrack(out_, sync_.TrackAt(tracksAsked_).name());
  reader_.SetTracksAsked(static_cast<uint32_t>(tracksAsked_));
}

void SyncConnection::SendRow(uint32_t row) {
  if (state_ == State::kConnected) AppendSetRow(out_, row);
}

bool SyncConnection::Flush(Clock::time_point now) {
  size_t sent = 0;
  while (sent < out_.size()) {
    const ssize_t n = send(fd_, out_.data() + sent, out_.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      break;  // the rest at the next frame
    } else {
      Drop(now, std::string("the sync editor's connection failed (") + std::strerror(errno) + ")");
      return false;
    }
  }
  out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(sent));
  return true;
}

bool SyncConnection::Read(Clock::time_point now, std::vector<Message>& messages, bool& keysChanged) {
  uint8_t buffer[4096];
  for (;;) {
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    bool closed = false;
    if (n > 0) {
      reader_.Feed(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno == ECONNRESET) {  // a reset is the editor gone too
      closed = true;
    } else if (errno == EINTR) {
      continue;
    } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
      Drop(now, std::string("the sync editor's connection failed (") + std::strerror(errno) + ")");
      return false;
    }
    Message message;
    MessageReader::Result result;
    while ((result = reader_.Next(message)) == MessageReader::Result::kMessage) {
      if (message.command == Command::kSetKey) {
        sync_.TrackAt(message.track).SetKey({message.row, message.value, message.interpolation});
        keysChanged = true;
      } else if (message.command == Command::kDeleteKey) {
        keysChanged |= sync_.TrackAt(message.track).DeleteKey(message.row);
      } else {
        messages.push_back(message);
      }
    }
    if (result == MessageReader::Result::kFault) {
      Drop(now, "the sync editor sent what is no message of its protocol: " + reader_.fault() +
                    "; the connection is closed");
      return false;
    }
    if (closed) {
      Drop(now, reader_.Close() ? "the sync editor closed the connection"
                                : "the sync editor's connection ended: " + reader_.fault());
      return false;
    }
    if (n < 0) return true;  // nothing more has come
  }
}

void SyncConnection::Poll(Clock::time_point now, std::vector<Message>& messages, bool& keysChanged) {
  if (state_ == State::kIdle && now >= nextTry_) StartConnecting(now);
  if (state_ == State::kConnecting) FinishConnecting(now);
  if (state_ != State::kConnected) return;
  AskNewTracks();
  if (!Flush(now)) return;
  Read(now, messages, keysChanged);
}

}  // namespace VantorGL::sync
