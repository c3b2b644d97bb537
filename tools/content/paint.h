#pragma once
// Drawing helpers for generated pictures (slides, overlays, titles, icons):
// glowing text lines, soft shapes and whole-canvas shaders.
#include <functional>
#include <string>

#include "image.h"
#include "text.h"

namespace content {

struct TextStyle {
  Rgba fill{1, 1, 1, 1};
  Rgba glow{0.25f, 0.65f, 1.0f, 0.85f};  // blurred copy under the text
  int glowRadius = 10;                   // 0: no glow
  Rgba shadow{0.0f, 0.0f, 0.05f, 0.75f};  // dark halo that keeps text legible
  int shadowRadius = 5;                  // 0: no shadow
  int tracking = 0;                      // extra pixels between glyphs
};

// One line of text centred on `cx` with its baseline at `baseline`; the size
// shrinks until the line fits `maxWidth`. Returns the size used.
int DrawTextLine(Canvas& c, const Typeface& face, const std::string& text, int size, int cx,
                 int baseline, const TextStyle& style, int maxWidth = 880);

// The same line centred vertically on `cy` (half the capital height above and
// below). Returns the size used.
int DrawTextCentred(Canvas& c, const Typeface& face, const std::string& text, int size, int cx,
                    int cy, const TextStyle& style, int maxWidth = 880);

// The largest size up to `size` at which the line fits `maxWidth`.
int FitSize(const Typeface& face, const std::string& text, int size, int tracking, int maxWidth);

// Calls `shade(x, y)` for every pixel and blends the result over the canvas.
void Shade(Canvas& c, const std::function<Rgba(float x, float y)>& shade);

// Soft-edged filled rectangle, in pixels.
void FillRect(Canvas& c, float x0, float y0, float x1, float y1, const Rgba& colour,
              float soft = 1.0f);

}  // namespace content
