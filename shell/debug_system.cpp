#include "shell/debug_system.h"

#include <ios>

#include "shell/timer.h"

namespace VantorGL {

cDebugSystem& cDebugSystem::Instance() {
  static cDebugSystem instance;
  return instance;
}

bool cDebugSystem::Open(const char* fileName) {
  stampMs = cTimer::Instance().sinceStartMs;
  if (file.is_open()) file.close();
  file.clear();
  file.open(fileName, std::ios::out | std::ios::trunc);
  Log("cDebugSystem", "VantorGL engine " VANTOR_VERSION ": log opened");
  return file.is_open();
}

std::ostream& cDebugSystem::BeginLine(std::string_view source) {
  stampMs = cTimer::Instance().sinceStartMs;
  file.setf(std::ios::fixed, std::ios::floatfield);
  file << '[' << stampMs << "](" << source << ") ";
  return file;
}

void cDebugSystem::Log(std::string_view source, std::string_view text) {
  if (!enabled) return;
  BeginLine(source) << text << std::endl;
}

void cDebugSystem::LogText(const char* text, std::string_view source) {
  if (!enabled) return;
  BeginLine(source) << text << std::endl;
}

void cDebugSystem::Log(std::string_view source, float value) {
  if (!enabled) return;
  BeginLine(source) << value << std::endl;
}

void cDebugSystem::Flush() { file.flush(); }

}  // namespace VantorGL
