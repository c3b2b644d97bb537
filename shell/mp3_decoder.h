#pragma once
// Decodes an MP3 file held in memory to interleaved stereo floats, whole at the
// rate asked for (DecodeMp3) or a block at a time at its own (Mp3Stream).
// Decoding is gapless: with the encoder's info tag (which lame writes by
// default) the encoder delay and padding are cut off, so frame 0 is the track's
// first sample and the length is the track's exact sample count. Mono is doubled
// to both channels; DecodeMp3 resamples files at another rate afterwards.
// DecodeMp3 is a pure function of its input, safe on any thread.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace VantorGL {

struct DecodedAudio {
  std::vector<float> samples;  // interleaved L, R
  int64_t frames = 0;          // samples.size() / 2
  int rate = 0;                // the rate asked for
  int sourceRate = 0;          // the file's own rate
};

// Longest track accepted (20 minutes at 48 kHz), so a hostile file cannot make
// the decoder allocate without bound.
constexpr int64_t kMaxDecodedFrames = int64_t{20} * 60 * 48000;

// Nothing when the bytes hold no MP3 stream, or the track is too long.
std::optional<DecodedAudio> DecodeMp3(const uint8_t* data, size_t size, int rate);

// An MP3 file held in memory, decoded a block at a time from any frame on:
// frame for frame what DecodeMp3 gives for a file at its own rate, without the
// whole track decoded at once (47 s of stereo floats are 16 MB). The length is
// exact up front, from a scan of the frames' headers. One thread at a time.
class Mp3Stream {
 public:
  // Nothing when the bytes hold no MP3 stream, or the track is too long.
  static std::unique_ptr<Mp3Stream> Open(std::vector<uint8_t> bytes);
  ~Mp3Stream();
  Mp3Stream(const Mp3Stream&) = delete;
  Mp3Stream& operator=(const Mp3Stream&) = delete;

  int64_t Frames() const { return frames_; }
  int Rate() const { return rate_; }
  // Frames [from, from + count) into `out`, interleaved L, R, finite and within
  // full scale. What the decoder cannot reach (past the end, past damage it could
  // not get through) is silence. Reading on from where the last read ended costs
  // no seek; no memory is allocated.
  void Read(int64_t from, float* out, int count);

 private:
  struct Decoder;
  Mp3Stream();
  std::unique_ptr<Decoder> decoder_;
  int64_t frames_ = 0;
  int rate_ = 0;
  int64_t next_ = -1;  // the frame the decoder hands next; -1 after a failed seek
  bool ended_ = false; // the decoder stopped before the end: silence until a seek
};

// Band-limited resampling of interleaved stereo to round(frames * to / from)
// frames. Exposed for tests.
std::vector<float> ResampleStereo(const std::vector<float>& in, int from, int to);

}  // namespace VantorGL
