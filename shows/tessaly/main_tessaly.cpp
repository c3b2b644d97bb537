// tessaly: the production. Takes no arguments; reads its files from the working
// directory, or from the data installed with it when that holds none
// (shell/show_data.h); returns 0 (fixed failures end through ExitProgram instead).
#include "production.h"
#include "shell/show_data.h"

namespace {
// The application object, for the life of the process: constructed before main
// (no file, sound or GL call happens then), destroyed at exit.
TAV05 application;
}  // namespace

int main(int, char**) {
  VantorGL::ChooseShowData(VANTORGL_SHOW_NAME, VantorGL::cResources::kPropertyFile);
  VantorGL::OpenShowLog();
  application.ApplyProductionSettings();
  VantorGL::g_application = &application;
  VantorGL::RunApplication();
  return 0;
}
