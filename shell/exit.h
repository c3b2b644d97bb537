#pragma once
// The one way the program ends with a fixed status (1, 2, 99, 251, 252):
// write one line naming the status and the cause to the log and flush it, the
// cause alone to standard error, end the process. It may come while other
// threads run (loading ahead, the sound device): no destructor of a static
// object runs, only at_quick_exit handlers.
#include <string_view>

namespace VantorGL {

[[noreturn]] void ExitProgram(int status, std::string_view cause);

}  // namespace VantorGL
