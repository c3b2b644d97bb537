#pragma once
// Surface pictures any show can texture with, at any size, deterministic to
// the byte: `vantorgl-content picture --kind NAME` writes them. Every one tiles
// (the sky wraps around horizontally only). JPEGs are painted upright for the
// engine's picture path and kept above pure black, which that path makes
// transparent.
#include "image.h"

namespace content {

using Bytes = std::vector<uint8_t>;

// Riveted steel plates, 4 x 4 per tile: JPEG.
Bytes MakePlatesPicture(int width, int height);
// The plates' relief as a tangent-space normal map: PNG RGB.
Bytes MakePlatesNormalMap(int width, int height);
// Pool water with caustic light: JPEG.
Bytes MakeWaterPicture(int width, int height);
// An evening sky, zenith at the top, horizon at the bottom: JPEG.
Bytes MakeSkyPicture(int width, int height);

}  // namespace content
