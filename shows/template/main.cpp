// The show's player. Takes no arguments; reads its files from the working
// directory (the stage), or from the data installed with it when that holds
// none (shell/show_data.h); returns 0 (the engine's fixed failures end it with
// their own statuses, saying why on standard error).
#include "application.h"
#include "assets.h"
#include "shell/show_data.h"

namespace {
// For the life of the process: made before main (no file, sound or GL call
// happens then), destroyed at exit after everything main's calls made.
show::cShowApplication application;
}  // namespace

int main(int, char**) {
  VantorGL::ChooseShowData(VANTORGL_SHOW_NAME, show::cAssets::kPropertyFile);
  VantorGL::OpenShowLog();
  application.ApplySettings();
  VantorGL::g_application = &application;
  VantorGL::RunApplication();
  return 0;
}
