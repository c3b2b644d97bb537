#pragma once
// The ASE line normalisation written plainly, one character at a time: blanks
// after the first '*' become ':' outside double quotes. The reader's one-pass
// version is held against it by a unit test and by the fuzzer. Header-only, so
// the fuzz build (which links no test support) can use it too.
#include <string>
#include <string_view>

namespace vantor_test {

inline std::string ReferenceAseNormalise(std::string_view raw) {
  std::string out;
  bool started = false, inQuotes = false;
  for (char c : raw) {
    if (c == '*') {
      started = true;
    } else if (c == '"') {
      inQuotes = !inQuotes;
      out += c;
    } else if (c == ' ' || c == '\t') {
      if (started) out += inQuotes ? c : ':';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace vantor_test
