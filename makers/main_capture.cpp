// tessaly-capture: plays the production off screen on a virtual clock and writes
// what it shows as PNG frames, a video with the music, and/or a contact sheet.
// Reads its data from the working directory, like tessaly. See --help.
#include <cstdio>
#include <string>
#include <vector>

#include "makers/capture_options.h"
#include "makers/capture_session.h"

int main(int argc, char** argv) {
  using namespace VantorGL::capture;
  const ParseResult parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (parsed.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "tessaly-capture: %s\nTry 'tessaly-capture --help' for the options.\n",
                 parsed.error.c_str());
    return kExitUsage;
  }
  return RunCapture(parsed.options);
}
