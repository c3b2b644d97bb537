#pragma once
// MusicClock: the preview's transport (play, pause, place) and its show clock,
// which follows the music as the sound device plays it, as sync tools do.
//
// The clock counts the device's played frames (shell/audio_library.h: the
// frames handed to it minus what is still queued) from an anchor: the device
// frame from which the music at a known show time is heard. A place, a pause
// and a resume change the music under the device lock together with a reading
// of the frames handed, so each takes effect at a known device frame; from
// there one device frame is one frame of music, whatever pace the device keeps
// against the wall clock. Past the music's end the device plays silence and
// the clock goes on the same way. Without any sound device it follows the
// performance counter.
//
// The offset: for each reading taken while the music plays, the show clock as
// cTimer takes it (whole milliseconds) minus the music the device had played
// at that moment, found once the device's next callback has fixed it.
//
// Main thread only.
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <vector>

#include "shell/audio_library.h"

namespace VantorGL::preview {

class MusicClock {
 public:
  // `stream` is the show's music (0: silence), `originMs` the music time of
  // show time 0. The clock reads 0 until this is called.
  void Start(audio::Handle stream, int32_t originMs);

  // The show clock now, in microseconds of show time (what cTimer reads).
  // Never goes back between two changes of the transport. Read keeps the
  // reading for the offset; Peek does not.
  int64_t Read();
  int64_t Peek() const;

  // Moves the music and the clock to show time `showUs`, playing from there
  // or held there.
  void Place(int64_t showUs, bool play);
  // Stops the music where the device is; the clock holds there once the
  // device has played what it was handed. Stops the stream even when the
  // clock is not playing.
  void Pause();
  // Plays on from where Pause held.
  void Resume();
  bool playing() const { return playing_; }
  // Where the clock holds (or will hold) while paused.
  int64_t HeldUs() const;

  // Works out the offsets of readings whose moment the device has fixed since.
  void SettleOffsets();
  std::optional<double> lastOffsetMs() const { return lastOffsetMs_; }
  struct OffsetStats {
    int64_t count = 0;
    double minMs = 0, maxMs = 0, sumMs = 0;
    std::vector<float> ms;  // every offset, in the order taken
    // The offset that a share `q` (0..1) of them lie at or below; 0 without any.
    double Quantile(double q) const;
  };
  const OffsetStats& offsets() const { return stats_; }
  bool deviceless() const { return deviceless_; }

 private:
  double FramesPlayedNow(int64_t counter) const;
  double FramesHanded() const;
  double UsAt(double deviceFrame) const;  // show time at a played device frame, fractional

  struct Reading {
    int64_t counter;
    int64_t us;
  };

  bool started_ = false;
  bool deviceless_ = false;
  audio::Handle stream_ = 0;
  int32_t originMs_ = 0;
  int rate_ = 44100;
  int64_t streamFrames_ = 0;
  int64_t wallStart_ = 0;  // counter at Start, for the deviceless clock

  bool playing_ = false;
  double anchorUs_ = 0;     // show time at anchorFrame_
  double anchorFrame_ = 0;
  int64_t placedFrame_ = -1;  // the music's frame at anchorFrame_; -1: none (silence)
  double stopFrame_ = std::numeric_limits<double>::infinity();
  int64_t lastUs_ = 0;

  std::deque<Reading> pending_;
  std::optional<double> lastOffsetMs_;
  OffsetStats stats_;
};

}  // namespace VantorGL::preview
