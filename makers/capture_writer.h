#pragma once
// FrameWriter: hands the kept frames to the outputs (PNG frames, the video, the
// contact sheet) on a thread of its own, in frame order, so that turning a
// picture into bytes overlaps the drawing of the next frames. A frame that
// repeats the one before it comes as the same Shot object: its PNG is encoded
// once and its bytes written again under the next name, so the files are the
// same as if each had been encoded anew.
//
// The outputs belong to the writer's thread between Start and Finish (or
// Cancel); the caller starts and ends them (ffmpeg, the sheet's file) outside
// that span. Add, Finish and Cancel are called from one thread, the capture's.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "makers/capture_options.h"
#include "makers/capture_output.h"

namespace VantorGL::capture {

// One picture as read back from GL: RGBA rows, bottom row first. The writer
// makes the RGB picture (top row first) from it when it first needs it.
struct Shot {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;

  // For the writer's thread only.
  Picture picture;
  std::vector<uint8_t> png;         // its PNG file's bytes, once encoded
  std::vector<uint8_t> videoFrame;  // as the video encoder takes it, once made
};

class FrameWriter {
 public:
  struct Outputs {
    FrameDirectory* frames = nullptr;  // null: no PNG frames
    VideoEncoder* video = nullptr;     // null: no video
    ContactSheet* sheet = nullptr;     // null: no sheet
    FramePlan plan;                    // for the sheet's cells and their times
  };

  FrameWriter() = default;
  ~FrameWriter();
  FrameWriter(const FrameWriter&) = delete;
  FrameWriter& operator=(const FrameWriter&) = delete;

  void Start(const Outputs& outputs);
  // Queues `frame`, showing `shot`. Waits while the queue is full. False once
  // an output has failed (Finish then says why); the frame is dropped.
  bool Add(int64_t frame, std::shared_ptr<Shot> shot);
  // Waits until every queued frame is written and ends the thread. False, with
  // `error` and the capture's exit status in `status`, when an output failed.
  bool Finish(std::string* error, int* status);
  // Drops what is queued, waits for the frame being written, ends the thread.
  void Cancel();

  // Seconds Add spent waiting for room in the queue.
  double waitedSeconds() const { return waited_; }

  // Frames queued at most: enough to ride out a slow write, few enough to
  // bound the memory held (a picture each at most).
  static constexpr size_t kQueueLength = 6;

 private:
  struct Item {
    int64_t frame;
    std::shared_ptr<Shot> shot;
  };
  void Run();
  bool Write(const Item& item, std::string* error, int* status);

  Outputs outputs_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Item> queue_;
  bool closing_ = false;    // no more frames come
  bool cancelled_ = false;
  bool failed_ = false;
  std::string error_;
  int status_ = 0;
  double waited_ = 0;
};

}  // namespace VantorGL::capture
