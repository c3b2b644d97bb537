#pragma once
// Ready-made 3DS models, deterministic to the byte: `vantorgl-content model
// --shape NAME` writes them, and a show's own generator may call them.
#include "model_writer.h"

namespace content {

// A toothed ring around the letters K and M, about 84 units across, facing -z.
Bytes MakeLogoModel();
// Hills around a lake, 2000 x 2000 units, Y up.
Bytes MakeLandscapeModel();
// A smooth (2, 3) torus knot, about 60 units across, for lighting effects.
Bytes MakeTorusKnotModel();

}  // namespace content
