// tessaly: the production. Takes no arguments; reads its files from the working
// directory; returns 0 (fixed failures end through ExitProgram instead).
#include "shell/debug_system.h"
#include "production.h"

namespace {
// The application object, for the life of the process: constructed before main
// (no file, sound or GL call happens then), destroyed at exit.
TAV05 application;
}  // namespace

int main(int, char**) {
  VantorGL::cDebugSystem::Instance().Open("debug.log");
  application.ApplyProductionSettings();
  VantorGL::g_application = &application;
  VantorGL::RunApplication();
  return 0;
}
