#include "shell/file_paths.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "shell/memory_pages.h"

namespace VantorGL {
namespace fs = std::filesystem;

namespace {
bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (std::tolower(x) != std::tolower(y)) return false;
  }
  return true;
}

// The entry of `dir` whose name equals `name` without regard to case; the
// alphabetically first when several do, so the choice never depends on
// directory order.
std::optional<std::string> FindNoCase(const fs::path& dir, std::string_view name) {
  std::error_code ec;
  std::optional<std::string> best;
  for (fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string entry = it->path().filename().string();
    if (EqualNoCase(entry, name) && (!best || entry < *best)) best = entry;
  }
  return best;
}
}  // namespace

std::string ResolvePath(std::string_view path) {
  std::string normal(path);
  std::replace(normal.begin(), normal.end(), '\\', '/');
  std::error_code ec;
  if (normal.empty() || fs::exists(normal, ec)) return normal;

  fs::path resolved = normal.front() == '/' ? fs::path("/") : fs::path();
  size_t pos = 0;
  while (pos <= normal.size()) {
    size_t next = normal.find('/', pos);
    if (next == std::string::npos) next = normal.size();
    std::string_view part(normal.data() + pos, next - pos);
    pos = next + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      resolved /= "..";
      continue;
    }
    fs::path exact = resolved / std::string(part);
    if (fs::exists(exact, ec)) {
      resolved = exact;
      continue;
    }
    auto match = FindNoCase(resolved, part);
    if (!match) return normal;
    resolved /= *match;
  }
  return resolved.string();
}

std::optional<std::vector<uint8_t>> ReadFileBytes(std::string_view path, size_t maxBytes) {
  const std::string resolved = ResolvePath(path);
  std::FILE* f = std::fopen(resolved.c_str(), "rb");
  if (!f) return std::nullopt;
  std::vector<uint8_t> bytes;
  // The usual case in one allocation and one read, straight into the result; the loop
  // below still takes whatever the size did not announce.
  std::error_code sizeError;
  const auto expected = fs::file_size(resolved, sizeError);
  if (!sizeError && expected <= maxBytes) {
    bytes.reserve(expected);
    AdviseHugePages(bytes.data(), expected);
    bytes.resize(expected);
    bytes.resize(std::fread(bytes.data(), 1, expected, f));
  }
  uint8_t chunk[65536];
  size_t n;
  bool ok = true;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
    if (bytes.size() + n > maxBytes) {
      ok = false;
      break;
    }
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  if (std::ferror(f)) ok = false;
  std::fclose(f);
  if (!ok) return std::nullopt;
  return bytes;
}

}  // namespace VantorGL
