// Work loaded ahead: jobs start in order within their window, a throwing job fails
// alone, Stop drops what has not started and waits for what has, a fork finds no
// job half done, and pictures and
// tunes taken from AssetsAhead are what an ordinary load reads.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <latch>
#include <new>
#include <thread>

#include "resources/load_ahead.h"
#include "shell/music_stream.h"
#include "tests/support/image_files.h"
#include "tests/support/mp3_fixture.h"
#include "tests/support/process.h"

using namespace VantorGL;
using namespace vantor_test;
namespace fs = std::filesystem;

TEST(LoadAhead, RunsJobsInOrderWithinTheWindowAndTakesThemInOrder) {
  for (const int workers : {0, 1, 3}) {
    LoadAhead ahead(workers, 4);
    // Each job notes whether it began inside the window: less than 4 past the
    // last index handed to Take, which is set before Take is called.
    std::atomic<size_t> lastTaken{0};
    std::atomic<int> started{0}, outsideWindow{0};
    std::vector<int> order;
    std::mutex orderMutex;
    for (int i = 0; i < 12; ++i)
      ahead.Add([&, i] {
        ++started;
        if (static_cast<size_t>(i) >= lastTaken + 4) ++outsideWindow;
        std::lock_guard lock(orderMutex);
        order.push_back(i);
      });
    for (size_t i = 0; i < 12; ++i) {
      lastTaken = i;
      EXPECT_TRUE(ahead.Take(i)) << i;
    }
    EXPECT_EQ(started.load(), 12);
    EXPECT_EQ(outsideWindow.load(), 0) << workers << " workers: a job started beyond the window";
    EXPECT_FALSE(ahead.Take(12)) << "never added";
    if (workers <= 1) {
      // One thread at a time (a worker, or Take itself): strictly the order added.
      std::vector<int> expected(12);
      for (int i = 0; i < 12; ++i) expected[i] = i;
      EXPECT_EQ(order, expected) << workers << " workers";
    }
  }

  // With a window of one, the worker ends job 0 and finds job 1 outside the
  // window in the same step (under the lock Take(0) waits on): job 1 must then
  // still be waiting, so that Take(1) runs it here.
  LoadAhead ahead(1, 1);
  std::latch firstStarted(1);
  std::thread::id ranFirst, ranSecond;
  ahead.Add([&] {
    ranFirst = std::this_thread::get_id();
    firstStarted.count_down();
  });
  ahead.Add([&] { ranSecond = std::this_thread::get_id(); });
  firstStarted.wait();
  EXPECT_TRUE(ahead.Take(0));
  EXPECT_TRUE(ahead.Take(1));
  EXPECT_NE(ranFirst, std::this_thread::get_id()) << "the worker runs the job in the window";
  EXPECT_EQ(ranSecond, std::this_thread::get_id()) << "a worker started a job beyond the window";
}

// Take(1) while a worker holds job 1 must wait for it, starting no later job:
// one started here would hold the caller to its own end. Job 1 stays held until
// job 2 has run, so if Take ran job 2 itself the thread would show it.
TEST(LoadAhead, WhileAWorkerHasTheJobTakeWaitsWithoutStartingAnother) {
  LoadAhead ahead(2, 2);
  std::latch heldStarted(1), release(1);
  std::thread::id ranThird;
  ahead.Add([] {});
  ahead.Add([&] {
    heldStarted.count_down();
    release.wait();
  });
  ahead.Add([&] {
    ranThird = std::this_thread::get_id();
    release.count_down();
  });
  heldStarted.wait();  // job 2 lies outside the window until Take(1) moves it
  EXPECT_TRUE(ahead.Take(1));
  EXPECT_NE(ranThird, std::thread::id()) << "job 2 never ran";
  EXPECT_NE(ranThird, std::this_thread::get_id()) << "Take started job 2 while a worker held job 1";
  EXPECT_TRUE(ahead.Take(0));
  EXPECT_TRUE(ahead.Take(2));
}

TEST(LoadAhead, AThrowingJobFailsAloneAndStopDropsWhatHasNotStarted) {
  LoadAhead ahead(1, 16);
  std::atomic<int> done{0};
  ahead.Add([&] { ++done; });
  ahead.Add([] { throw std::bad_alloc(); });
  ahead.Add([&] { ++done; });
  EXPECT_TRUE(ahead.Take(0));
  EXPECT_FALSE(ahead.Take(1));
  EXPECT_TRUE(ahead.Take(2));
  EXPECT_EQ(done.load(), 2);

  // A slow job is running on the one worker when Stop comes: Stop waits for it,
  // and the jobs queued behind it never run.
  std::atomic<bool> slowStarted{false}, slowEnded{false};
  std::atomic<int> laterRan{0};
  const size_t slow = ahead.Add([&] {
    slowStarted = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    slowEnded = true;
  });
  for (int i = 0; i < 5; ++i) ahead.Add([&] { ++laterRan; });
  while (!slowStarted) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ahead.Stop();
  EXPECT_TRUE(slowEnded.load());
  EXPECT_EQ(laterRan.load(), 0);
  EXPECT_TRUE(ahead.Take(slow));
  EXPECT_FALSE(ahead.Take(slow + 1)) << "dropped";
  ahead.Add([&] { ++laterRan; });
  EXPECT_FALSE(ahead.Take(slow + 6)) << "added after Stop: dropped";
  EXPECT_EQ(laterRan.load(), 0);
}

// SDL shows a message box from a forked copy of the process, which has only the
// forking thread: a worker caught inside a job could hold a lock the copy then
// waits on for ever (GCC 12's sanitizer allocator does so). Each fork comes while
// the two workers are busy with 2 ms jobs; the copy reports how many were half
// done, and every job still runs to its end afterwards.
TEST(LoadAhead, AForkWaitsForTheRunningJobsAndStartsNoneUntilItIsDone) {
  LoadAhead ahead(2, 1000);
  std::atomic<int> inJob{0}, done{0};
  constexpr int kJobs = 400;
  for (int i = 0; i < kJobs; ++i) {
    ahead.Add([&] {
      ++inJob;
      const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
      while (std::chrono::steady_clock::now() < end) {
      }
      --inJob;
      ++done;
    });
  }
  int forks = 0;
  while (done.load() < kJobs / 2 && forks < 20) {
    if (inJob.load() == 0) continue;  // fork while the workers are busy
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(inJob.load());
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "jobs half done in the copy at fork " << forks;
    ++forks;
  }
  EXPECT_EQ(forks, 20);
  for (int i = 0; i < kJobs; ++i) EXPECT_TRUE(ahead.Take(static_cast<size_t>(i)));
  EXPECT_EQ(done.load(), kJobs);
}

TEST(AssetsAhead, HandsOverWhatAnOrdinaryLoadReadsInListedOrder) {
  // Relative names, as the program uses them: the picture path builds its own
  // full path from the working directory.
  const WorkDir dir = WorkDir::Empty();
  struct Back {
    fs::path cwd = fs::current_path();
    ~Back() { fs::current_path(cwd); }
  } back;
  fs::current_path(dir.path());
  const std::string png = "slide.png", jpg = "sky.jpg", mp3 = "tune.mp3";
  WriteBytes(png, EncodePng(PatternPicture(300, 200, true, 1)));
  WriteBytes(jpg, EncodeJpegFile(PatternPicture(120, 90, false, 2)));
  ASSERT_TRUE(WriteMp3(mp3, SineWave(440, 0.5)));

  AssetsAhead ahead(1, 8);
  ahead.AddTune(mp3);
  ahead.AddPicture(png);
  ahead.AddPicture("missing.png");
  ahead.AddPicture(jpg);
  ahead.AddPicture(png);

  EXPECT_FALSE(ahead.TakePicture(mp3)) << "a tune is no picture";
  // At the mixing rate the tune is kept to be decoded as it plays.
  const auto tune = ahead.TakeTune(mp3);
  ASSERT_TRUE(tune && tune->source);
  const auto direct = audio::PrepareFile(mp3, MusicStream::kMixRate);
  ASSERT_TRUE(direct.source);
  ASSERT_EQ(tune->source->Frames(), direct.source->Frames());
  std::vector<float> ahead_(tune->source->Frames() * 2), here(ahead_.size());
  tune->source->Read(0, ahead_.data(), static_cast<int>(tune->source->Frames()));
  direct.source->Read(0, here.data(), static_cast<int>(direct.source->Frames()));
  EXPECT_EQ(ahead_, here);

  // The missing file is passed over: the JPEG comes next, decoded as Prepare does.
  const auto sky = ahead.TakePicture(jpg);
  ASSERT_TRUE(sky && sky->image);
  const PreparedTexture skyDirect = cTextureSystem::Prepare(jpg);
  EXPECT_EQ(sky->image->pixels, skyDirect.image->pixels);
  EXPECT_EQ(sky->image->width, 128);
  EXPECT_FALSE(sky->pngPath);

  // The second listing of the PNG; the first one was passed over with the missing file.
  const auto slide = ahead.TakePicture(png);
  ASSERT_TRUE(slide && slide->image);
  EXPECT_TRUE(slide->pngPath);
  EXPECT_EQ(slide->image->width, 512);
  EXPECT_EQ(slide->image->height, 256);
  EXPECT_EQ(slide->largestSide, 512);
  EXPECT_EQ(slide->image->pixels, cTextureSystem::Prepare(png).image->pixels);
  EXPECT_FALSE(ahead.TakePicture(png)) << "nothing listed after it";
  EXPECT_FALSE(ahead.TakePicture(jpg)) << "already taken";
}
