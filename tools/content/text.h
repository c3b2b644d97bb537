#pragma once
// Text set in a TrueType face with FreeType: one line at a time, as an
// anti-aliased coverage mask that the slide painter glows, shadows and fills.
#include <string>

#include "image.h"

namespace content {

struct TextMask {
  Mask mask;          // coverage, with room for glows on every side
  int originX = 0;    // mask column where the pen starts
  int baselineY = 0;  // mask row of the baseline
  int inkWidth = 0;   // advance width of the line, pixels
  int capHeight = 0;  // height of a capital, pixels
};

class Typeface {
 public:
  // Throws std::runtime_error when the face cannot be opened.
  explicit Typeface(const std::string& path);
  ~Typeface();
  Typeface(const Typeface&) = delete;
  Typeface& operator=(const Typeface&) = delete;

  // One line at `pixelSize` (em in pixels), with `tracking` extra pixels after
  // each glyph; ASCII only. `pad` empty pixels surround the ink for glows.
  TextMask Render(const std::string& text, int pixelSize, int tracking, int pad) const;
  // Advance width of the line in pixels, without rendering it.
  int Measure(const std::string& text, int pixelSize, int tracking) const;
  // Height of a capital letter in pixels at `pixelSize`.
  int CapHeight(int pixelSize) const;

 private:
  void* library_ = nullptr;
  void* face_ = nullptr;
};

}  // namespace content
