#include "makers/capture_writer.h"

#include <chrono>
#include <new>
#include <string>

namespace VantorGL::capture {
namespace {

// GL's rows come bottom first with four bytes a pixel; the outputs take RGB, top row first.
void MakePicture(Shot& shot) {
  Picture& p = shot.picture;
  if (!p.rgb.empty() || shot.rgba.empty()) return;
  const int width = shot.width, height = shot.height;
  p.width = width;
  p.height = height;
  p.rgb.resize(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = &shot.rgba[static_cast<size_t>(height - 1 - y) * width * 4];
    uint8_t* dst = &p.rgb[static_cast<size_t>(y) * width * 3];
    for (int x = 0; x < width; ++x, src += 4, dst += 3) {
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
    }
  }
  shot.rgba = {};
}

}  // namespace

FrameWriter::~FrameWriter() { Cancel(); }

void FrameWriter::Start(const Outputs& outputs) {
  outputs_ = outputs;
  closing_ = cancelled_ = failed_ = false;
  thread_ = std::thread([this] { Run(); });
}

bool FrameWriter::Add(int64_t frame, std::shared_ptr<Shot> shot) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (queue_.size() >= kQueueLength && !failed_) {
    const auto start = std::chrono::steady_clock::now();
    changed_.wait(lock, [this] { return queue_.size() < kQueueLength || failed_; });
    waited_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  if (failed_) return false;
  queue_.push_back(Item{frame, std::move(shot)});
  changed_.notify_all();
  return true;
}

bool FrameWriter::Finish(std::string* error, int* status) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (failed_) {
    *error = error_;
    *status = status_;
    return false;
  }
  return true;
}

void FrameWriter::Cancel() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = closing_ = true;
    queue_.clear();
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void FrameWriter::Run() {
  for (;;) {
    Item item;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
      if (queue_.empty() || cancelled_) return;
      item = queue_.front();
    }
    std::string error;
    int status = 0;
    bool ok = false;
    try {
      ok = Write(item, &error, &status);
    } catch (const std::bad_alloc&) {
      // A picture too large for the memory left: the capture fails and cleans up.
      error = "out of memory writing frame " + std::to_string(item.frame) + ": a smaller --size needs less";
      status = kExitFailed;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    // Taken off only now, so a full queue also counts the frame being written.
    if (!queue_.empty()) queue_.pop_front();
    if (!ok) {
      failed_ = true;
      error_ = error;
      status_ = status;
      queue_.clear();
    }
    changed_.notify_all();
    if (!ok) return;
  }
}

bool FrameWriter::Write(const Item& item, std::string* error, int* status) {
  Shot& shot = *item.shot;
  MakePicture(shot);
  if (outputs_.frames) {
    if (shot.png.empty() && !EncodePng(shot.picture, FrameDirectory::kLevel, &shot.png)) {
      *error = "cannot encode " + FrameDirectory::FileName(item.frame);
      *status = kExitCannotCreate;
      return false;
    }
    if (!outputs_.frames->WriteEncoded(item.frame, shot.png, error)) {
      *status = kExitCannotCreate;
      return false;
    }
  }
  if (outputs_.video) {
    if (shot.videoFrame.empty()) shot.videoFrame = VideoEncoder::MakeFrame(shot.picture);
    if (!outputs_.video->WriteFrame(shot.videoFrame, error)) {
      *status = kExitFailed;
      return false;
    }
  }
  const FramePlan& plan = outputs_.plan;
  const int64_t sinceFirst = item.frame - plan.firstFrame;
  if (outputs_.sheet && sinceFirst % plan.fps == 0)
    outputs_.sheet->Add(sinceFirst / plan.fps, shot.picture, plan.MusicTimeMs(item.frame));
  return true;
}

}  // namespace VantorGL::capture
