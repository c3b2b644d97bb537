#include "makers/sync_protocol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace VantorGL::sync {

namespace {

// A message's length with its command byte; 0 for a byte the editor never sends.
size_t MessageLength(uint8_t command) {
  switch (Command(command)) {
    case Command::kSetKey: return 14;
    case Command::kDeleteKey: return 9;
    case Command::kSetRow: return 5;
    case Command::kPause: return 2;
    case Command::kSaveTracks: return 1;
    case Command::kGetTrack: break;
  }
  return 0;
}

const char* CommandName(uint8_t command) {
  switch (Command(command)) {
    case Command::kSetKey: return "set key";
    case Command::kDeleteKey: return "delete key";
    case Command::kSetRow: return "set row";
    case Command::kPause: return "pause";
    default: return "save tracks";
  }
}

uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

// Bytes as a reader sees them: printable ASCII as is, the rest as \xNN.
std::string Shown(const uint8_t* data, size_t size) {
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] >= 0x20 && data[i] < 0x7F && data[i] != '"' && data[i] != '\\') {
      out += char(data[i]);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", data[i]);
      out += hex;
    }
  }
  return out;
}

}  // namespace

void MessageReader::Feed(const uint8_t* data, size_t size) {
  if (!fault_.empty() || size == 0) return;
  // What was read goes first, so the buffer never holds more than a message's
  // rest beyond what came with this piece.
  if (start_ > 0) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(start_));
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), data, data + size);
}

MessageReader::Result MessageReader::Fail(std::string what) {
  if (fault_.empty()) fault_ = std::move(what);
  return Result::kFault;
}

MessageReader::Result MessageReader::Next(Message& out) {
  if (!fault_.empty()) return Result::kFault;
  const uint8_t* p = buffer_.data() + start_;
  if (!greeted_) {
    // Each byte is checked as it comes: an editor that sends a wrong beginning
    // and then waits is found out at once.
    const size_t n = std::min(Pending(), kEditorGreeting.size());
    const auto wrong = std::mismatch(p, p + n, kEditorGreeting.begin()).first;
    if (wrong != p + n)  // shown up to the first wrong byte, however the bytes came
      return Fail("wrong greeting \"" + Shown(p, size_t(wrong - p) + 1) + "\" (expected \"" +
                  std::string(kEditorGreeting) + "\")");
    if (n < kEditorGreeting.size()) return Result::kNeedMore;
    start_ += n;
    greeted_ = true;
    p += n;
  }
  if (Pending() == 0) return Result::kNeedMore;
  const uint8_t command = p[0];
  const size_t length = MessageLength(command);
  if (length == 0) return Fail("unknown command byte " + std::to_string(command));
  if (Pending() < length) return Result::kNeedMore;
  out = Message{};
  out.command = Command(command);
  switch (out.command) {
    case Command::kSetKey:
    case Command::kDeleteKey: {
      out.track = U32(p + 1);
      out.row = U32(p + 5);
      if (out.track >= tracksAsked_)
        return Fail(std::string(CommandName(command)) + " for track " + std::to_string(out.track) + ", but " +
                    std::to_string(tracksAsked_) + (tracksAsked_ == 1 ? " track was" : " tracks were") +
                    " asked for");
      if (out.command == Command::kDeleteKey) break;
      const uint32_t bits = U32(p + 9);
      std::memcpy(&out.value, &bits, sizeof out.value);
      if (!std::isfinite(out.value))
        return Fail("set key on row " + std::to_string(out.row) + " of track " + std::to_string(out.track) +
                    " with a value that is not a finite number");
      if (p[13] >= kSyncInterpolationCount)
        return Fail("set key on row " + std::to_string(out.row) + " of track " + std::to_string(out.track) +
                    " with interpolation " + std::to_string(p[13]) + " (the editor's are 0 to 3)");
      out.interpolation = SyncInterpolation(p[13]);
      break;
    }
    case Command::kSetRow: out.row = U32(p + 1); break;
    case Command::kPause: out.paused = p[1] != 0; break;
    default: break;
  }
  start_ += length;
  return Result::kMessage;
}

bool MessageReader::Close() {
  if (!fault_.empty()) return false;
  const uint8_t* p = buffer_.data() + start_;
  if (!greeted_) {
    Fail("the connection closed inside the greeting (" + std::to_string(Pending()) + " of " +
         std::to_string(kEditorGreeting.size()) + " bytes)");
    return false;
  }
  if (Pending() == 0) return true;
  // Next has read every whole message and checked this one's command byte.
  Fail("the connection closed inside a " + std::string(CommandName(p[0])) + " message (" +
       std::to_string(Pending()) + " of " + std::to_string(MessageLength(p[0])) + " bytes)");
  return false;
}

void AppendGreeting(std::vector<uint8_t>& out) { out.insert(out.end(), kClientGreeting.begin(), kClientGreeting.end()); }

void AppendGetTrack(std::vector<uint8_t>& out, std::string_view name) {
  out.push_back(uint8_t(Command::kGetTrack));
  PutU32(out, uint32_t(name.size()));
  out.insert(out.end(), name.begin(), name.end());
}

void AppendSetRow(std::vector<uint8_t>& out, uint32_t row) {
  out.push_back(uint8_t(Command::kSetRow));
  PutU32(out, row);
}

}  // namespace VantorGL::sync
