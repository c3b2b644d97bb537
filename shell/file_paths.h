#pragma once
// Every file the program opens is found through ResolvePath: the exact relative
// path first; where it does not exist, the same path matched component by
// component without regard to case, with '\' accepted as a separator (the
// production's own names mix "data/" and "Data/").
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace VantorGL {

// The path to open. When nothing matches, the path with '/' separators is
// returned unchanged so the open fails in the usual way.
std::string ResolvePath(std::string_view path);

// The whole file, or nothing when it cannot be opened or read. Files larger
// than `maxBytes` are refused rather than allocated; large files are read into
// huge pages (shell/memory_pages.h).
std::optional<std::vector<uint8_t>> ReadFileBytes(std::string_view path,
                                                  size_t maxBytes = size_t{1} << 30);

}  // namespace VantorGL
