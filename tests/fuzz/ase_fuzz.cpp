// Any bytes through the ASE reading and parsing. Besides crashes and sanitizer reports
// it checks that reading and parsing in one pass gives what the two steps give apart,
// that the wide normalisation paths agree with the rules written plainly, and that
// the samples' own number reader gives, bit for bit, what the general one does.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "scenedata/ase_loader.h"
#include "tests/support/ase_reference.h"
#include "shell/debug_system.h"

using namespace VantorGL;

using vantor_test::ReferenceAseNormalise;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cDebugSystem::Instance().enabled = false;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  cFileLoader_ASE together, apart;
  together.LoadText(text);
  apart.ReadLines(text);
  apart.Parse();

  if (together.objects.size() != apart.objects.size() || together.lines.size() != apart.lines.size())
    __builtin_trap();
  for (size_t i = 0; i < together.objects.size(); ++i) {
    const AnimatedObject& object = together.objects[i];
    if (object.count > object.capacity || object.keyTimes.size() != size_t(object.capacity) ||
        object.keyValues.size() != size_t(object.capacity))
      __builtin_trap();
    if (object.name != apart.objects[i].name || object.keyTimes != apart.objects[i].keyTimes ||
        object.keyValues != apart.objects[i].keyValues)
      __builtin_trap();
    if (together.FindObject(object.name) == nullptr) __builtin_trap();
  }

  // From every token start of every line (a ':'-separated token, and the whole rest
  // of the line as a last token) the sample reader against the general one.
  for (size_t lineBegin = 0; lineBegin < text.size();) {
    size_t newline = text.find('\n', lineBegin);
    if (newline == std::string_view::npos) newline = text.size();
    const char* const lineEnd = text.data() + newline;
    for (const char* p = text.data() + lineBegin; p <= lineEnd;) {
      const char* colon = p;
      while (colon < lineEnd && *colon != ':') ++colon;
      for (const bool last : {false, true}) {
        const char* tokenEnd = last ? lineEnd : colon;
        double fast = 0.25, general = 0.25;
        int32_t fastInt = 7, generalInt = 7;
        if (ReadAseToken(p, lineEnd, fast, last) != tokenEnd || ReadAseToken(p, lineEnd, fastInt, last) != tokenEnd)
          __builtin_trap();
        ReadLeadingNumber(std::string_view(p, size_t(tokenEnd - p)), general);
        ReadLeadingNumber(std::string_view(p, size_t(tokenEnd - p)), generalInt);
        if (std::memcmp(&fast, &general, sizeof fast) != 0 || fastInt != generalInt) __builtin_trap();
      }
      p = colon + 1;
    }
    lineBegin = newline + 1;
  }

  // Every stored line against the plain rules over its raw line.
  size_t pos = 0;
  for (size_t i = 0; i < apart.lines.size(); ++i) {
    size_t newline = text.find('\n', pos);
    std::string_view raw = text.substr(pos, newline == std::string_view::npos ? text.npos : newline - pos);
    if (newline != std::string_view::npos && !raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    pos = newline == std::string_view::npos ? text.size() : newline + 1;
    const std::string_view stored = apart.lines[i];
    if (stored.substr(0, 7) == "checked") continue;
    if (stored != ReferenceAseNormalise(raw)) __builtin_trap();
  }
  return 0;
}
