#pragma once
// cDebugSystem: the trace file "debug.log". One line per event,
// "[" stamp "](" source ") " text, flushed at once so the file is complete even if
// the process ends abruptly. The stamp is cTimer::sinceStartMs. Main thread only.
#include <fstream>
#include <string_view>

namespace VantorGL {

class cDebugSystem {
 public:
  static cDebugSystem& Instance();

  // Opens (replacing) the log file and writes the banner line. True when open.
  bool Open(const char* fileName);

  void Log(std::string_view source, std::string_view text);
  // The registry's form: a fixed text first, then the source.
  void LogText(const char* text, std::string_view source);
  // Floats are written in fixed notation with six decimals.
  void Log(std::string_view source, float value);

  void Flush();

  bool enabled = true;
  std::ofstream file;
  int32_t stampMs = 0;

 private:
  cDebugSystem() = default;
  std::ostream& BeginLine(std::string_view source);
};

}  // namespace VantorGL
