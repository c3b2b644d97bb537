#include "shell/exit.h"

#include <cstdio>
#include <cstdlib>

#include "shell/debug_system.h"

namespace VantorGL {

void ExitProgram(int status, std::string_view cause) {
  cDebugSystem::Instance().Flush();
  std::fprintf(stderr, "%.*s\n", static_cast<int>(cause.size()), cause.data());
  std::fflush(stderr);
  std::exit(status);
}

}  // namespace VantorGL
