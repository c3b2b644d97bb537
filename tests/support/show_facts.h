#pragma once
// The show as it was scheduled, written out here by hand for the tests to hold
// the code to. Nothing here may be taken from the code's own tables: a test that
// compared the schedule with itself would pass whatever the schedule said.
#include <array>

namespace vantor_test {

// Slide `slide` is up while fromMs < t <= toMs of the slide scene's clock.
struct ShowCue {
  int fromMs, toMs, slide;
};

// The whole cue sheet: 55 rows, slide 4 in none of them.
inline constexpr std::array<ShowCue, 55> kShowCues = {{
    {0, 3500, 0},       {3500, 3800, 1},    {3800, 4500, 2},    {4500, 4700, 3},    {4700, 5200, 5},
    {5200, 6000, 6},    {6000, 6200, 7},    {6200, 7300, 8},    {7300, 7600, 9},    {7600, 7700, 10},
    {7700, 8000, 11},   {8000, 8300, 12},   {8300, 8400, 13},   {8400, 8500, 14},   {8500, 8800, 15},
    {8800, 9200, 16},   {9200, 10000, 17},  {10000, 11000, 18}, {11000, 12000, 19}, {12000, 14600, 20},
    {14600, 16600, 21}, {16600, 18000, 22}, {18000, 18500, 23}, {18500, 19000, 24}, {19000, 19500, 25},
    {19500, 20000, 26}, {20000, 20500, 27}, {20500, 21000, 28}, {21000, 21500, 29}, {21500, 22000, 30},
    {22000, 22500, 31}, {22500, 23000, 32}, {23000, 23500, 33}, {23500, 24000, 34}, {24000, 24500, 35},
    {24500, 25000, 36}, {25000, 25500, 37}, {25500, 26000, 38}, {26000, 27000, 39}, {27000, 27200, 40},
    {27200, 27900, 41}, {27900, 28100, 42}, {28100, 29000, 43}, {29000, 29200, 44}, {29200, 30000, 45},
    {30000, 30200, 46}, {30200, 32600, 47}, {32600, 33000, 48}, {33000, 37000, 49}, {37000, 37800, 50},
    {37800, 38400, 51}, {38400, 39000, 52}, {39000, 39500, 53}, {39500, 41300, 54}, {41300, 45000, 55},
}};

// The slide up at `t` ms when `current` was up before: outside every row
// (t <= 0, t > 45000) it stays.
inline int ScheduledSlide(int t, int current) {
  for (const ShowCue& cue : kShowCues)
    if (cue.fromMs < t && t <= cue.toMs) return cue.slide;
  return current;
}

// The show ends with the first frame at or after this much show time.
inline constexpr int kShowLengthMs = 47000;

// The background: six frames, the next one once the frames' steps since the
// last change add up to more than 100 ms, the excess dropped. At 30 frames a
// second the steps are 33, 33 and 34 ms, so three make exactly 100 (not more):
// the background moves on at every fourth frame, frame j showing (j / 4) % 6.
inline int BackgroundAt30Fps(int frame) { return frame / 4 % 6; }

// Where the slide scene's picture lies on the window, as fractions of its width
// and height: a quad of half-height 1.56 at distance 3.8 under the scene's 45
// degree, 4:3 projection covers 1.56 / (3.8 tan 22.5) = 0.99110 of the view
// (its half-width 2.08 likewise of the 4:3 width); the background is drawn so
// into the target and the target so onto the window, stretched to its shape:
// 0.99110^2 = 0.98228 of each side, centred. The background's picture lies in
// it upright and the right way round.
inline constexpr double kBackgroundCover = 0.98228;
inline constexpr double kBackgroundFrom = (1 - kBackgroundCover) / 2;

}  // namespace vantor_test
