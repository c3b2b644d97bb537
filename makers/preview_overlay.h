#pragma once
// The preview's text over the picture, drawn into the finished frame just
// before it is swapped: its line (the clock, the frame rate it shows) and the
// problems a maker must mend (a shader that does not build), which stay on
// screen until mended. Every piece of GL state it touches is put back, so the
// show's next frame is drawn as if nothing had been there. Main thread, the
// show's context current.
#include <chrono>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "resources/font.h"

namespace VantorGL::preview {

class Overlay {
 public:
  bool visible = false;

  // Counts a finished frame (call once per swap, shown or not).
  void CountFrame();
  // Frames a second over the last second; 0 until two frames were counted.
  double FramesPerSecond() const;

  // A problem shown until it is cleared, under its key (a file, an asset);
  // `text` may hold several lines. A new one for a key replaces the old.
  void SetProblem(const std::string& key, const std::string& text);
  void ClearProblem(const std::string& key) { problems_.erase(key); }
  bool HasProblems() const { return !problems_.empty(); }

  // Draws `line` (unless empty) and under it the problems at the top left of a
  // window of width x height.
  void Draw(const std::string& line, int width, int height);

 private:
  std::map<std::string, std::vector<std::string>> problems_;
  FontRecord font_;
  bool built_ = false;
  std::deque<std::chrono::steady_clock::time_point> swaps_;
};

}  // namespace VantorGL::preview
