#include "sync/track_file.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "scenedata/byte_reader.h"
#include "shell/exit.h"
#include "shell/file_paths.h"

namespace VantorGL {

namespace {

constexpr size_t kKeyBytes = 9;
// Far beyond any show's tracks (a key a row for hours of music), small enough
// that a damaged file is refused rather than read into memory.
constexpr size_t kMaxTrackFileBytes = size_t{64} << 20;

bool Plain(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '/';
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace

std::string TrackFileName(std::string_view base, std::string_view name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out(base);
  out += '_';
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (Plain(c)) {
      out += ch;
    } else {
      out += '-';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  out += ".track";
  return out;
}

std::string ParseTrackFile(const uint8_t* data, size_t size, std::vector<SyncKey>& keys) {
  keys.clear();
  ByteReader in(data, size);
  const uint32_t count = in.U32();
  if (!in.ok()) return "shorter than its key count (" + std::to_string(size) + " bytes)";
  // The count is believed only as far as the bytes for it are there.
  if (in.remaining() / kKeyBytes < count)
    return "ends inside key " + std::to_string(in.remaining() / kKeyBytes) + " of the " + std::to_string(count) +
           " it announces";
  if (const size_t extra = in.remaining() - size_t(count) * kKeyBytes; extra != 0)
    return std::to_string(extra) + (extra == 1 ? " byte" : " bytes") + " after the last key";
  std::vector<SyncKey> read(count);
  for (uint32_t i = 0; i < count; ++i) {
    SyncKey& key = read[i];
    key.row = in.U32();
    key.value = in.F32();
    const uint8_t interpolation = in.U8();
    const std::string which = "key " + std::to_string(i);
    if (interpolation >= kSyncInterpolationCount)
      return which + " has interpolation " + std::to_string(interpolation) + " (the editor's are 0 to 3)";
    if (!std::isfinite(key.value)) return which + "'s value is not a finite number";
    if (i > 0 && key.row <= read[i - 1].row)
      return which + "'s row " + std::to_string(key.row) + " does not come after row " +
             std::to_string(read[i - 1].row);
    key.interpolation = SyncInterpolation(interpolation);
  }
  keys = std::move(read);
  return {};
}

std::vector<uint8_t> EncodeTrackFile(const std::vector<SyncKey>& keys) {
  std::vector<uint8_t> out;
  out.reserve(4 + keys.size() * kKeyBytes);
  PutU32(out, uint32_t(keys.size()));
  for (const SyncKey& key : keys) {
    PutU32(out, key.row);
    uint32_t bits;
    std::memcpy(&bits, &key.value, sizeof bits);
    PutU32(out, bits);
    out.push_back(uint8_t(key.interpolation));
  }
  return out;
}

bool LoadTrackFile(const std::string& path, std::vector<SyncKey>& keys) {
  keys.clear();
  const auto bytes = ReadFileBytes(path, kMaxTrackFileBytes);
  if (!bytes) {
    std::error_code ec;
    if (!std::filesystem::exists(ResolvePath(path), ec)) return false;
    ExitProgram(2, path + ": cannot be read, or larger than " + std::to_string(kMaxTrackFileBytes >> 20) + " MB");
  }
  const std::string fault = ParseTrackFile(bytes->data(), bytes->size(), keys);
  if (!fault.empty()) ExitProgram(2, path + ": " + fault);
  return true;
}

bool SaveTrackFile(const std::string& path, const std::vector<SyncKey>& keys, std::string* error) {
  const std::vector<uint8_t> bytes = EncodeTrackFile(keys);
  const std::string temporary = path + ".part" + std::to_string(::getpid());
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  if (!f) {
    if (error) *error = temporary + ": " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const int writeErrno = errno;
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    if (error) *error = temporary + ": " + std::strerror(written ? errno : writeErrno);
    std::remove(temporary.c_str());
    return false;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace VantorGL
