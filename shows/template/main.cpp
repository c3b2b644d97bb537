// The show's player. Takes no arguments; reads its files from the working
// directory (the stage); returns 0 (the engine's fixed failures end it with
// their own statuses, saying why on standard error).
#include "application.h"
#include "shell/debug_system.h"

namespace {
// For the life of the process: made before main (no file, sound or GL call
// happens then), destroyed at exit after everything main's calls made.
show::cShowApplication application;
}  // namespace

int main(int, char**) {
  VantorGL::cDebugSystem::Instance().Open("debug.log");
  application.ApplySettings();
  VantorGL::g_application = &application;
  VantorGL::RunApplication();
  return 0;
}
