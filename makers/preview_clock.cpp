#include "makers/preview_clock.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "makers/show_frames.h"
#include "platform/audio_device.h"

namespace VantorGL::preview {
namespace {
constexpr double kUsPerSecond = static_cast<double>(capture::kCounterFrequency);
constexpr size_t kMaxPending = 256;
}  // namespace

void MusicClock::Start(audio::Handle stream, int32_t originMs) {
  started_ = true;
  stream_ = stream;
  originMs_ = originMs;
  rate_ = audio::MixRate() > 0 ? audio::MixRate() : 44100;
  const uint64_t length = audio::ChannelGetLength(stream, audio::POS_BYTE);
  streamFrames_ = length == audio::kFail64 ? 0 : static_cast<int64_t>(length / audio::kBytesPerFrame);
  deviceless_ = audio::DriverName().empty();
  wallStart_ = platform::AudioCounterNow();
}

double MusicClock::FramesHanded() const {
  if (deviceless_)
    return static_cast<double>(platform::AudioCounterNow() - wallStart_) * rate_ /
           static_cast<double>(platform::AudioCounterFrequency());
  return static_cast<double>(audio::DeviceFramesHanded());
}

double MusicClock::FramesPlayedNow(int64_t counter) const {
  if (deviceless_)
    return static_cast<double>(counter - wallStart_) * rate_ / static_cast<double>(platform::AudioCounterFrequency());
  return audio::DeviceFramesPlayed(counter);
}

double MusicClock::UsAt(double deviceFrame) const {
  const double frame = std::clamp(deviceFrame, anchorFrame_, std::max(anchorFrame_, stopFrame_));
  return anchorUs_ + (frame - anchorFrame_) * kUsPerSecond / rate_;
}

int64_t MusicClock::Peek() const {
  if (!started_) return 0;
  const auto us = static_cast<int64_t>(std::floor(UsAt(FramesPlayedNow(platform::AudioCounterNow()))));
  return std::max(us, lastUs_);
}

int64_t MusicClock::Read() {
  if (!started_) return 0;
  const int64_t counter = platform::AudioCounterNow();
  const double played = FramesPlayedNow(counter);
  lastUs_ = std::max(lastUs_, static_cast<int64_t>(std::floor(UsAt(played))));
  if (playing_ && !deviceless_ && played > anchorFrame_) {
    if (pending_.size() >= kMaxPending) pending_.pop_front();
    pending_.push_back({counter, lastUs_});
  }
  return lastUs_;
}

void MusicClock::Place(int64_t showUs, bool play) {
  {
    // The music and the reading of the frames handed change together: the
    // device hears the change from exactly that frame.
    platform::AudioDeviceLock hold;
    audio::ChannelStop(stream_);
    const int64_t frame = std::llround((originMs_ * 1000.0 + static_cast<double>(showUs)) * rate_ / kUsPerSecond);
    placedFrame_ = -1;
    if (frame >= 0 && frame < streamFrames_) {
      audio::ChannelSetPosition(stream_, static_cast<uint64_t>(frame) * audio::kBytesPerFrame, audio::POS_BYTE);
      if (play) audio::ChannelPlay(stream_, false);
      placedFrame_ = frame;
    }
    anchorFrame_ = FramesHanded();
  }
  anchorUs_ = static_cast<double>(showUs);
  stopFrame_ = play ? std::numeric_limits<double>::infinity() : anchorFrame_;
  playing_ = play;
  lastUs_ = showUs;
  pending_.clear();
  lastOffsetMs_.reset();
}

void MusicClock::Pause() {
  {
    platform::AudioDeviceLock hold;
    audio::ChannelStop(stream_);  // also the show's own start, before the first Place
    if (!playing_) return;
    stopFrame_ = std::max(anchorFrame_, FramesHanded());
  }
  playing_ = false;
  pending_.clear();
  lastOffsetMs_.reset();
}

void MusicClock::Resume() {
  if (playing_) return;
  // On from the frame after the last one handed before the pause, and the clock
  // from the very moment it held at. Placing again at the held microsecond
  // would round twice and could put the music back by a frame, heard twice.
  const double heldUs = UsAt(stopFrame_);
  {
    platform::AudioDeviceLock hold;
    if (placedFrame_ >= 0) {
      const int64_t frame = placedFrame_ + std::llround(stopFrame_ - anchorFrame_);
      placedFrame_ = -1;
      if (frame < streamFrames_) {
        audio::ChannelSetPosition(stream_, static_cast<uint64_t>(frame) * audio::kBytesPerFrame, audio::POS_BYTE);
        audio::ChannelPlay(stream_, false);
        placedFrame_ = frame;
      }
    }
    anchorFrame_ = FramesHanded();
  }
  anchorUs_ = heldUs;
  stopFrame_ = std::numeric_limits<double>::infinity();
  playing_ = true;
  pending_.clear();
  lastOffsetMs_.reset();
}

int64_t MusicClock::HeldUs() const {
  if (playing_) return Peek();
  return static_cast<int64_t>(std::floor(UsAt(stopFrame_)));
}

double MusicClock::OffsetStats::Quantile(double q) const {
  if (ms.empty()) return 0.0;
  std::vector<float> sorted = ms;
  const double rank = std::clamp(q, 0.0, 1.0) * static_cast<double>(sorted.size() - 1);
  const auto at = sorted.begin() + static_cast<std::ptrdiff_t>(rank);
  std::nth_element(sorted.begin(), at, sorted.end());
  return *at;
}

void MusicClock::SettleOffsets() {
  while (!pending_.empty()) {
    bool settled = false;
    const double played = audio::DeviceFramesPlayed(pending_.front().counter, &settled);
    if (!settled) break;
    if (played < 0) {  // too long ago for the device's record: nothing to compare with
      pending_.pop_front();
      continue;
    }
    // cTimer takes whole milliseconds of the counter.
    const double showMs = std::floor(static_cast<double>(pending_.front().us) / 1000.0);
    const double offset = showMs - UsAt(played) / 1000.0;
    pending_.pop_front();
    lastOffsetMs_ = offset;
    if (stats_.count == 0) stats_.minMs = stats_.maxMs = offset;
    stats_.minMs = std::min(stats_.minMs, offset);
    stats_.maxMs = std::max(stats_.maxMs, offset);
    stats_.sumMs += offset;
    stats_.ms.push_back(static_cast<float>(offset));
    ++stats_.count;
  }
}

}  // namespace VantorGL::preview
