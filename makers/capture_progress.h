#pragma once
// The capture's progress on standard error: on a terminal one line redrawn in
// place (a bar, the frame count and the time left); otherwise one plain line at
// every tenth of the way, so logs stay readable. The time left is estimated on
// the wall clock from the frames made so far; it never touches the show's clock.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace VantorGL::capture {

class Progress {
 public:
  // `total` frames will be made; `out` is where to write (stderr by default).
  Progress(int64_t total, bool terminal, std::FILE* out = stderr);
  // `done` frames are made now.
  void Update(int64_t done);
  // Ends the redrawn line.
  void Finish();

  // One redrawn line ("[#####-----]  50%  10/20 frames  0:07 left").
  static std::string BarLine(int64_t done, int64_t total, double secondsLeft, int barWidth = 30);
  // One plain line ("capture: 50% (10/20 frames), 0:07 left").
  static std::string PlainLine(int64_t done, int64_t total, double secondsLeft);
  // Seconds as "m:ss" (or "h:mm:ss"); "--:--" while unknown (negative).
  static std::string FormatDuration(double seconds);

 private:
  double SecondsLeft(int64_t done) const;

  int64_t total_;
  bool terminal_;
  std::FILE* out_;
  std::chrono::steady_clock::time_point firstDone_{};  // when the first frame was done
  std::chrono::steady_clock::time_point lastDraw_{};
  int lastTenth_ = -1;
  bool drawn_ = false;
};

}  // namespace VantorGL::capture
