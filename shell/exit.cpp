#include "shell/exit.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "shell/debug_system.h"

namespace VantorGL {

void ExitProgram(int status, std::string_view cause) {
  // The log is where a player who saw no terminal looks: the cause goes there too.
  std::string line = "status " + std::to_string(status) + ": ";
  line += cause;
  cDebugSystem::Instance().Log("exit", line);
  cDebugSystem::Instance().Flush();
  std::fprintf(stderr, "%.*s\n", static_cast<int>(cause.size()), cause.data());
  std::fflush(nullptr);
  // Loading threads and the sound device's thread may still run: the static
  // destructors that std::exit runs would pull their data from under them.
  // quick_exit runs only what was registered for it (at_quick_exit).
  std::quick_exit(status);
}

}  // namespace VantorGL
