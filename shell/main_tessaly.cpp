// tessaly: the production. Takes no arguments; reads its files from the working directory.
#include "shell/debug_system.h"

int main(int, char**) {
  VantorGL::cDebugSystem::Instance().Open("debug.log");
  return 0;
}
