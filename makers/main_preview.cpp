// tessaly-preview: plays the production in a window with its music, for the
// people who make it: pause, seek, step, a line of timing over the picture, and
// changed asset files loaded again while it plays. Reads its data from the
// working directory, like tessaly. See --help.
#include <cstdio>
#include <string>
#include <vector>

#include "makers/preview_options.h"
#include "makers/preview_session.h"

int main(int argc, char** argv) {
  using namespace VantorGL::preview;
  const ParseResult parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (parsed.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "tessaly-preview: %s\nTry 'tessaly-preview --help' for the options.\n",
                 parsed.error.c_str());
    return kExitUsage;
  }
  return RunPreview(parsed.options);
}
