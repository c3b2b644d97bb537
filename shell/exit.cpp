#include "shell/exit.h"

#include <cstdio>
#include <cstdlib>

#include "shell/debug_system.h"

namespace VantorGL {

void ExitProgram(int status, std::string_view cause) {
  cDebugSystem::Instance().Flush();
  std::fprintf(stderr, "%.*s\n", static_cast<int>(cause.size()), cause.data());
  std::fflush(nullptr);
  // Loading threads and the sound device's thread may still run: the static
  // destructors that std::exit runs would pull their data from under them.
  // quick_exit runs only what was registered for it (at_quick_exit).
  std::quick_exit(status);
}

}  // namespace VantorGL
