#include "makers/programs.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "makers/capture_options.h"
#include "makers/capture_session.h"
#include "makers/preview_options.h"
#include "makers/preview_session.h"
#include "makers/show.h"
#include "shell/show_data.h"

namespace VantorGL {
namespace {

// What the command line alone decides: the usage on --help (status 0), the
// error and a hint on a bad one (status 64); nothing when the program goes on.
template <class Parsed>
std::optional<int> Answered(const Parsed& parsed, const std::string& program, const std::string& usage) {
  if (parsed.help) {
    std::fputs(usage.c_str(), stdout);
    return 0;
  }
  if (parsed.error.empty()) return std::nullopt;
  std::fprintf(stderr, "%s: %s\nTry '%s --help' for the options.\n", program.c_str(), parsed.error.c_str(),
               program.c_str());
  return capture::kExitUsage;
}

}  // namespace

int RunCaptureProgram(int argc, char** argv, ShowFactory createShow) {
  using namespace capture;
  platform::OffscreenWindowSystem windowSystem;
  const std::unique_ptr<IShow> show = createShow(&windowSystem);
  const std::string program = show->Name() + "-capture";
  const ParseResult parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), show->Scenes());
  if (const auto status = Answered(parsed, program, UsageText(show->Name(), show->Scenes()))) return *status;
  // The show's data: here, or installed with the program; the files asked for
  // stay where the user started it.
  ChooseShowData(show->Name(), show->PropertyFile());
  Options options = parsed.options;
  for (std::string* path : {&options.framesDir, &options.outFile, &options.sheetFile})
    *path = FromStartDirectory(*path);
  return RunCapture(options, *show, windowSystem);
}

int RunPreviewProgram(int argc, char** argv, ShowFactory createShow) {
  using namespace preview;
  platform::LiveWindowSystem windowSystem;
  const std::unique_ptr<IShow> show = createShow(&windowSystem);
  const std::string program = show->Name() + "-preview";
  const ParseResult parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), show->Scenes());
  if (const auto status = Answered(parsed, program, UsageText(show->Name(), show->Scenes(), show->Words())))
    return *status;
  ChooseShowData(show->Name(), show->PropertyFile());
  return RunPreview(parsed.options, *show, windowSystem);
}

}  // namespace VantorGL
