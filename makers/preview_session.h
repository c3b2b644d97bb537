#pragma once
// One preview: a show (the same code its player runs, through IShow in
// makers/show.h) in an ordinary window on a LiveWindowSystem, its clock the
// music as the sound device plays it (makers/preview_clock.h), steered by keys
// that never reach it: pause, seek and step land on the capture's frames
// because the show is stood where a capture's frames leave it (IShow::StandAt).
// Changed asset files are loaded again between frames
// (makers/preview_reload.h), and a line of text can be laid over the picture
// (makers/preview_overlay.h). With --sync it follows a sync editor
// (makers/sync_connection.h): its keys, its row as a seek, its pause and its
// export; the rows it plays and seeks to go back to the editor.
//
// Messages go to standard error; the result is the program's exit status.
// Call once per process, from the main thread.
#include "makers/preview_options.h"
#include "makers/show.h"
#include "platform/live_window_system.h"

namespace VantorGL::preview {

// `show` was made on `windowSystem` (CreateShow); both are the caller's.
int RunPreview(const Options& options, IShow& show, platform::LiveWindowSystem& windowSystem);

}  // namespace VantorGL::preview
