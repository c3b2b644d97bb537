// The preview's pieces that need no display: the frame grid its seeks land on
// (the capture's frames, whatever the rounding of their times) and the file
// watch under its reloading (the ways editors and checkouts write files), and
// --sync, whose address is optional.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "makers/preview_options.h"
#include "makers/preview_reload.h"
#include "platform/file_watch.h"
#include "tests/support/process.h"

namespace {

using VantorGL::preview::FrameGrid;

// --sync takes the next word as its address only when it is no option; a bad
// address is refused, never taken as a default.
TEST(PreviewOptions, SyncTakesAnAddressOnlyWhenOneFollows) {
  const std::vector<VantorGL::ShowScene> scenes = {{"show", "the whole show", 0, 12000}};
  struct Case {
    std::vector<std::string> args;
    std::string host;
    int port;
    bool paused;
  };
  for (const Case& c : std::vector<Case>{{{"--sync"}, "localhost", 1338, false},
                                         {{"--sync", "--paused"}, "localhost", 1338, true},
                                         {{"--sync", "editor.lan:2000", "--paused"}, "editor.lan", 2000, true},
                                         {{"--sync=:1339"}, "localhost", 1339, false},
                                         {{"--paused", "--sync", "10.0.0.2"}, "10.0.0.2", 1338, true}}) {
    SCOPED_TRACE(c.args.back());
    const auto parsed = VantorGL::preview::ParseOptions(c.args, scenes);
    ASSERT_EQ(parsed.error, "");
    ASSERT_TRUE(parsed.options.sync.has_value());
    EXPECT_EQ(parsed.options.sync->host, c.host);
    EXPECT_EQ(parsed.options.sync->port, c.port);
    EXPECT_EQ(parsed.options.paused, c.paused);
  }
  EXPECT_FALSE(VantorGL::preview::ParseOptions({"--paused"}, scenes).options.sync.has_value());
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--sync", "host:0"}, {"--sync", "host:65536"}, {"--sync=host:12ab"}, {"--sync", "host:-5"}, {"--sync="}})
    EXPECT_NE(VantorGL::preview::ParseOptions(bad, scenes).error, "") << bad.back();
}

// A frame's time is the counter the capture's frame reads; the grid finds the
// frame again from it, and a moment between two frames lies after the one and
// before the other, at rates that divide a second evenly and at ones that do not.
TEST(PreviewFrameGrid, FindsEachCaptureFrameFromItsTime) {
  for (int fps : {60, 24, 7, 240}) {
    const FrameGrid grid{fps, 0, 50 * fps};
    for (int64_t k = 0; k < grid.endFrame; ++k) {
      const int64_t us = grid.ShowUs(k);
      ASSERT_EQ(grid.FrameAtOrAfter(us), k) << fps << " fps, frame " << k;
      ASSERT_EQ(grid.FrameAtOrBefore(us), k) << fps << " fps, frame " << k;
      const int64_t between = (us + grid.ShowUs(k + 1)) / 2;
      ASSERT_EQ(grid.FrameAtOrAfter(between), k + 1) << fps << " fps, after frame " << k;
      ASSERT_EQ(grid.FrameAtOrBefore(between), k) << fps << " fps, after frame " << k;
    }
    EXPECT_EQ(grid.Clamp(-3), 0);
    EXPECT_EQ(grid.Clamp(grid.endFrame), grid.endFrame - 1);
  }
}

std::vector<VantorGL::platform::FileWatch::Change> PollFor(VantorGL::platform::FileWatch& watch, size_t atLeast) {
  std::vector<VantorGL::platform::FileWatch::Change> all;
  for (int i = 0; i < 100 && all.size() < atLeast; ++i) {
    for (auto& c : watch.Poll()) all.push_back(c);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (auto& c : watch.Poll()) all.push_back(c);
  return all;
}

bool ChangeOf(const std::vector<VantorGL::platform::FileWatch::Change>& changes, const std::string& path,
              bool complete) {
  for (const auto& c : changes)
    if (c.path == path && (c.complete || !complete)) return true;
  return false;
}
bool CompleteChangeOf(const std::vector<VantorGL::platform::FileWatch::Change>& changes, const std::string& path) {
  return ChangeOf(changes, path, true);
}

// Written in place, renamed over, removed and made again: each ends in a
// complete change of the followed file under the name it was followed by;
// other files in the same directory are nobody's business. Other spellings of
// one directory ("slides/./", a symbolic link) share its one watch: each name
// is followed under its own spelling. A directory
// removed and made again (a checkout), or missing when its file was added, is
// followed from when it is there, its file reported as changed.
TEST(PreviewFileWatch, SeesEachWayAFileIsSaved) {
  const vantor_test::WorkDir dir = vantor_test::WorkDir::Empty();
  ASSERT_EQ(mkdir(dir.File("slides").c_str(), 0777), 0);
  const std::string followed = dir.File("slides/slide.png");
  const std::string other = dir.File("slides/other.png");
  const std::string later = dir.File("later/slide.png");
  std::ofstream(followed) << "first";
  VantorGL::platform::FileWatch watch;
  ASSERT_TRUE(watch.ok()) << watch.error();
  ASSERT_TRUE(watch.Add(followed));
  const std::string second = dir.File("slides/./second.png"), linked = dir.File("link/slide.png");
  ASSERT_EQ(symlink("slides", dir.File("link").c_str()), 0);
  ASSERT_TRUE(watch.Add(second));
  ASSERT_TRUE(watch.Add(linked));
  ASSERT_FALSE(watch.Add(later));
  EXPECT_EQ(watch.error(), "cannot watch " + dir.File("later") + ": No such file or directory");
  EXPECT_TRUE(watch.Poll().empty());

  std::ofstream(other) << "unrelated";
  std::ofstream(followed) << "in place";
  auto changes = PollFor(watch, 2);
  EXPECT_TRUE(CompleteChangeOf(changes, followed));
  EXPECT_TRUE(CompleteChangeOf(changes, linked));
  for (const auto& c : changes) EXPECT_TRUE(c.path == followed || c.path == linked) << c.path;
  std::ofstream(dir.File("slides/second.png")) << "its neighbour";
  changes = PollFor(watch, 1);
  EXPECT_TRUE(CompleteChangeOf(changes, second));
  for (const auto& c : changes) EXPECT_EQ(c.path, second);

  std::ofstream(dir.File("slides/slide.png.tmp")) << "renamed over";
  ASSERT_EQ(std::rename(dir.File("slides/slide.png.tmp").c_str(), followed.c_str()), 0);
  EXPECT_TRUE(CompleteChangeOf(PollFor(watch, 1), followed));

  ASSERT_EQ(unlink(followed.c_str()), 0);
  EXPECT_TRUE(PollFor(watch, 0).empty()) << "a removal alone is no new version";
  std::ofstream(followed) << "made again";
  EXPECT_TRUE(CompleteChangeOf(PollFor(watch, 1), followed));

  std::filesystem::remove_all(dir.File("slides"));
  EXPECT_TRUE(PollFor(watch, 0).empty()) << "a removal alone is no new version";
  ASSERT_EQ(mkdir(dir.File("slides").c_str(), 0777), 0);
  std::ofstream(followed) << "checked out";
  EXPECT_TRUE(ChangeOf(PollFor(watch, 1), followed, false)) << "the directory made again";
  std::ofstream(followed) << "saved in the directory made again";
  std::ofstream(second) << "and its neighbour";
  changes = PollFor(watch, 3);
  for (const std::string& p : {followed, linked, second}) EXPECT_TRUE(CompleteChangeOf(changes, p)) << p;

  ASSERT_EQ(mkdir(dir.File("later").c_str(), 0777), 0);
  std::ofstream(later) << "first";
  EXPECT_TRUE(ChangeOf(PollFor(watch, 1), later, false)) << "the directory missing at first";
}

// A directory that cannot be watched leaves every other asset followed, and
// is named.
TEST(PreviewAssetWatch, FollowsWhatCanBeWatchedAndNamesTheRest) {
  const vantor_test::WorkDir dir = vantor_test::WorkDir::Empty();
  std::ofstream(dir.File("slide.png")) << "first";
  VantorGL::preview::AssetWatch watch;
  std::string error;
  ASSERT_TRUE(watch.Start({{"Gone", dir.File("gone/a.png")}, {"Slide", dir.File("slide.png")},
                           {"AlsoGone", dir.File("gone/b.png")}},
                          &error))
      << error;
  EXPECT_EQ(watch.unwatched(),
            std::vector<std::string>{"cannot watch " + dir.File("gone") + ": No such file or directory"});
  std::ofstream(dir.File("slide.png")) << "second";
  std::vector<std::string> due;
  for (int i = 0; i < 500 && due.empty(); ++i) {
    for (const auto& d : watch.TakeDue(std::chrono::steady_clock::now())) due.push_back(d.name);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(due, std::vector<std::string>{"Slide"});
}

}  // namespace
