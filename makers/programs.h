#pragma once
// The makers' programs of a show, whole: each main that vantorgl_add_show writes
// calls one of these with its command line and the show's CreateShow
// (makers/show.h). The programs are named after the show (IShow::Name):
// NAME-capture and NAME-preview. Once per process, from the main thread; the
// result is the program's exit status.
#include "makers/show.h"

namespace VantorGL {

using ShowFactory = std::unique_ptr<IShow> (*)(platform::IWindowSystem* windowSystem);

// Plays the show off screen on a virtual clock to PNG frames, a video or a
// contact sheet (makers/capture_session.h). See its --help.
int RunCaptureProgram(int argc, char** argv, ShowFactory createShow);
// Plays the show in a window with its music, for the people who make it
// (makers/preview_session.h). See its --help.
int RunPreviewProgram(int argc, char** argv, ShowFactory createShow);

}  // namespace VantorGL
