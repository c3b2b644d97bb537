#pragma once
// One preview: the production (a TAV05, the same code the player runs) in an
// ordinary window on a LiveWindowSystem, its clock the music as the sound
// device plays it (makers/preview_clock.h), steered by keys that never reach
// it: pause, seek and step land on the capture's frames because the show's
// show is stood there where a capture's frames leave it (makers/show_frames.h).
// Changed asset files are loaded again between frames
// (makers/preview_reload.h), and a line of text can be laid over the picture
// (makers/preview_overlay.h).
//
// Messages go to standard error; the result is the program's exit status.
// Call once per process, from the main thread.
#include "makers/preview_options.h"

namespace VantorGL::preview {

int RunPreview(const Options& options);

}  // namespace VantorGL::preview
