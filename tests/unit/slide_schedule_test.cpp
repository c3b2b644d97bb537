// The slide scene's clock against the cue sheet as written out by hand, and its
// six-frame background, both through the scene's own Update on a driven clock.
#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"
#include "slide_scene.h"
#include "shell/timer.h"
#include "tests/support/show_facts.h"

using namespace VantorGL;

namespace {

// A slide scene updated as the show updates it, one cTimer step per frame.
class DrivenSlideScene : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetClockSource([this] { return ticks; }, 1000);
    cTimer::Instance() = cTimer();
    cSlideScene::frameClockMs = 0;
  }
  void TearDown() override {
    platform::ResetClockSource();
    cTimer::Instance() = cTimer();
    cSlideScene::frameClockMs = 0;
  }
  void Step(int deltaMs) {
    ticks += deltaMs;
    cTimer::Instance().Tick();
    scene.Update();
  }
  // The background frame after each of `count` frames `deltaMs` apart.
  std::vector<int> Frames(int deltaMs, int count) {
    std::vector<int> frames;
    for (int i = 0; i < count; ++i) {
      Step(deltaMs);
      frames.push_back(scene.frame);
    }
    return frames;
  }

  int64_t ticks = 5000;
  cSlideScene scene;
};

}  // namespace

TEST_F(DrivenSlideScene, ShowsTheCueSheetsSlideAtEveryMillisecond) {
  ASSERT_EQ(scene.slide, 0);
  for (int t = 1; t <= vantor_test::kShowLengthMs; ++t) {
    Step(1);
    ASSERT_EQ(scene.slideTimeMs, t);
    ASSERT_EQ(scene.slide, vantor_test::ScheduledSlide(t, 55)) << "at " << t << " ms";
  }
  // Outside every row the slide stays, whatever it is.
  scene.slide = 12;
  Step(1);
  EXPECT_EQ(scene.slide, 12) << "after 45000 ms";
  scene.slideTimeMs = -1;
  Step(1);
  EXPECT_EQ(scene.slide, 12) << "at 0 ms";
}

TEST_F(DrivenSlideScene, BackgroundCyclesSixFramesAdvancingOncePast100Ms) {
  // 101 ms frames: one step each, 0 after 5.
  EXPECT_EQ(Frames(101, 8), (std::vector<int>{1, 2, 3, 4, 5, 0, 1, 2}));
  // 50 ms frames: exactly 100 ms is not past it; the step comes on the third.
  scene.frame = 0;
  cSlideScene::frameClockMs = 0;
  EXPECT_EQ(Frames(50, 19), (std::vector<int>{0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 0, 0}));
  // 30 ms frames: the 20 ms past 100 are dropped, so a step every fourth frame
  // (120 ms), not every 100 ms.
  scene.frame = 0;
  cSlideScene::frameClockMs = 0;
  EXPECT_EQ(Frames(30, 25), (std::vector<int>{0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5,
                                              5, 5, 0, 0}));
}
