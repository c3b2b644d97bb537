#pragma once
// Decodes a whole MP3 file held in memory to interleaved stereo floats at the
// rate asked for. Decoding is gapless: with the encoder's info tag (which lame
// writes by default) the encoder delay and padding are cut off, so frame 0 is the
// track's first sample and the length is the track's exact sample count. Mono is
// doubled to both channels; files at another rate are resampled afterwards.
// Pure function of its input; safe on any thread.
#include <cstddef>
#include <cstdint>
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

// Band-limited resampling of interleaved stereo to round(frames * to / from)
// frames. Exposed for tests.
std::vector<float> ResampleStereo(const std::vector<float>& in, int from, int to);

}  // namespace VantorGL
