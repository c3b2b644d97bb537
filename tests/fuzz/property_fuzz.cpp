// Any bytes through the whole property reading, then a lookup. The reader must never
// crash, hang or read out of bounds; statuses it reports are fine.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "properties/property_system.h"
#include "shell/debug_system.h"

using namespace VantorGL;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cDebugSystem::Instance().enabled = false;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  cPropertySystem props;
  props.LoadText(text);
  for (const std::string& line : props.lines) {
    // A stored line is never longer than a physical line (plus what "checked" adds in
    // place of a closing brace) and never ends in ':'.
    if (line.size() > kMaxTextLine + 6 || (!line.empty() && line.back() == ':')) __builtin_trap();
  }
  for (const FileProperty& file : props.files)
    if (props.FindFileRecord(file.name) == nullptr) __builtin_trap();
  return 0;
}
