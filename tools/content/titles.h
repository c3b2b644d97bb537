#pragma once
// Pictures made of words and marks: a line of text on a clear background (a
// title, a credit, a banner for a scene) and a show's icon for its desktop
// entry. PNG RGBA, deterministic to the byte.
#include <string>

#include "image.h"
#include "paint.h"
#include "text.h"

namespace content {

using Bytes = std::vector<uint8_t>;

// `text` centred on a clear width x height picture, as large as fits 90 % of
// the width and 60 % of the height, in `fill` over a glow of `glow`.
Bytes MakeTextPicture(const Typeface& face, const std::string& text, int width, int height, Rgba fill,
                      Rgba glow);

// A size x size icon: a toothed ring glowing on a rounded dark-blue square, and
// `text` (a letter or two; none when empty or `face` is null) in its middle.
Bytes MakeIcon(int size, const Typeface* face, const std::string& text);

}  // namespace content
