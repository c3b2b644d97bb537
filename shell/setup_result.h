#pragma once
// SetupResult: the setup dialog's answer, as the dialog leaves it. A plain record.
#include <cstdint>

namespace VantorGL {

struct SetupResult {
  int32_t resolutionIndex = 0;  // selection of the resolution list
  int32_t aaIndex = 0;          // selection of the anti-aliasing list
  bool fullscreen = false;      // the "Fullscreen" box
  int32_t quit = 0;             // 1 when the viewer left by Exit or by closing the dialog
};

}  // namespace VantorGL
