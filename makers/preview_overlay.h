#pragma once
// The preview's one line of text over the picture, drawn into the finished
// frame just before it is swapped, and the frame rate it shows. Every piece of
// GL state it touches is put back, so the show's next frame is drawn as if
// nothing had been there. Main thread, the show's context current.
#include <chrono>
#include <deque>
#include <string>

#include "resources/font.h"

namespace VantorGL::preview {

class Overlay {
 public:
  bool visible = false;

  // Counts a finished frame (call once per swap, shown or not).
  void CountFrame();
  // Frames a second over the last second; 0 until two frames were counted.
  double FramesPerSecond() const;

  // Draws `text` at the top left of a window of width x height.
  void Draw(const std::string& text, int width, int height);

 private:
  FontRecord font_;
  bool built_ = false;
  std::deque<std::chrono::steady_clock::time_point> swaps_;
};

}  // namespace VantorGL::preview
