#pragma once
// The lines a test's debug.log holds after its banner, each without its time
// stamp ("(source) text"), the log flushed first.
#include <fstream>
#include <string>
#include <vector>

#include "shell/debug_system.h"

namespace vantor_test {

inline std::vector<std::string> LogLinesAfterBanner(const std::string& path) {
  VantorGL::cDebugSystem::Instance().Flush();
  std::ifstream in(path);
  std::vector<std::string> lines;
  std::string line;
  std::getline(in, line);  // banner
  while (std::getline(in, line)) lines.push_back(line.substr(line.find(']') + 1));
  return lines;
}

}  // namespace vantor_test
