#include "makers/capture_progress.h"

#include <algorithm>
#include <cmath>

namespace VantorGL::capture {

Progress::Progress(int64_t total, bool terminal, std::FILE* out)
    : total_(std::max<int64_t>(total, 1)), terminal_(terminal), out_(out) {}

double Progress::SecondsLeft(int64_t done) const {
  // The first frame also compiles shaders and uploads every texture: the pace
  // is taken from the frames after it.
  if (done < 2 || firstDone_ == std::chrono::steady_clock::time_point{}) return -1;
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - firstDone_).count();
  return elapsed / static_cast<double>(done - 1) * static_cast<double>(total_ - done);
}

std::string Progress::FormatDuration(double seconds) {
  if (seconds < 0 || !std::isfinite(seconds)) return "--:--";
  const long s = std::lround(seconds);
  char text[32];
  if (s >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

std::string Progress::BarLine(int64_t done, int64_t total, double secondsLeft, int barWidth) {
  total = std::max<int64_t>(total, 1);
  done = std::clamp<int64_t>(done, 0, total);
  const int filled = static_cast<int>(done * barWidth / total);
  std::string line = "[";  // appended: GCC 12 at -O3 warns falsely (-Wrestrict) on "[" + std::string
  line.append(static_cast<size_t>(filled), '#');
  line.append(static_cast<size_t>(barWidth - filled), '-');
  line += ']';
  char tail[96];
  std::snprintf(tail, sizeof tail, " %3d%%  %lld/%lld frames  %s left", static_cast<int>(done * 100 / total),
                static_cast<long long>(done), static_cast<long long>(total), FormatDuration(secondsLeft).c_str());
  return line + tail;
}

std::string Progress::PlainLine(int64_t done, int64_t total, double secondsLeft) {
  total = std::max<int64_t>(total, 1);
  char text[128];
  std::snprintf(text, sizeof text, "capture: %d%% (%lld/%lld frames), %s left", static_cast<int>(done * 100 / total),
                static_cast<long long>(done), static_cast<long long>(total), FormatDuration(secondsLeft).c_str());
  return text;
}

void Progress::Update(int64_t done) {
  const auto now = std::chrono::steady_clock::now();
  if (done >= 1 && firstDone_ == std::chrono::steady_clock::time_point{}) firstDone_ = now;
  if (terminal_) {
    // A redraw every tenth of a second is enough for the eye.
    if (done < total_ && drawn_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    drawn_ = true;
    std::fprintf(out_, "\r%s\x1b[K", BarLine(done, total_, SecondsLeft(done)).c_str());
    std::fflush(out_);
    return;
  }
  const int tenth = static_cast<int>(std::clamp<int64_t>(done, 0, total_) * 10 / total_);
  if (tenth == lastTenth_) return;
  lastTenth_ = tenth;
  std::fprintf(out_, "%s\n", PlainLine(done, total_, SecondsLeft(done)).c_str());
  std::fflush(out_);
}

void Progress::Finish() {
  if (terminal_ && drawn_) {
    std::fprintf(out_, "\n");
    std::fflush(out_);
    drawn_ = false;
  }
}

}  // namespace VantorGL::capture
