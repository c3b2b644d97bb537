// The cue sheet's bounds and the background's frame clock.
#include <gtest/gtest.h>

#include "slide_schedule.h"

using namespace VantorGL;

TEST(SlideSchedule, BoundsAndGaps) {
  EXPECT_EQ(SlideForTime(0, 7), 7) << "time 0 keeps the slide";
  EXPECT_EQ(SlideForTime(1, 7), 0);
  EXPECT_EQ(SlideForTime(3500, 0), 0);
  EXPECT_EQ(SlideForTime(3501, 0), 1);
  EXPECT_EQ(SlideForTime(4700, 0), 3);
  EXPECT_EQ(SlideForTime(4701, 3), 5);
  EXPECT_EQ(SlideForTime(5200, 3), 5);
  EXPECT_EQ(SlideForTime(45000, 0), 55);
  EXPECT_EQ(SlideForTime(45001, 55), 55) << "after the last row the slide stays";
  EXPECT_EQ(SlideForTime(46999, 12), 12);
  for (int t = 1; t <= 45000; ++t) ASSERT_NE(SlideForTime(t, -1), 4) << t;
  int last = 0;
  for (int t = 1; t <= 45000; ++t) {
    const int s = SlideForTime(t, -1);
    ASSERT_GE(s, last) << "slides only move forward, t=" << t;
    last = s;
  }
  EXPECT_EQ(last, 55);
}

TEST(SlideSchedule, BackgroundAdvancesPastHundredMsAndDropsTheExcess) {
  float clock = 0;
  int frame = 0;
  int advances = 0;
  for (int i = 0; i < 8; ++i) {
    const int before = frame;
    AdvanceBackgroundFrame(clock, 30, frame);
    if (frame != before) ++advances;
  }
  EXPECT_EQ(advances, 2) << "30 ms frames advance every fourth frame";
  EXPECT_EQ(frame, 2);
  EXPECT_EQ(clock, 0.0f);

  clock = 0;
  AdvanceBackgroundFrame(clock, 100, frame);
  EXPECT_EQ(frame, 2) << "exactly 100 ms is not past 100";
  frame = 5;
  AdvanceBackgroundFrame(clock, 1, frame);
  EXPECT_EQ(frame, 0) << "frames wrap after 5";
}
