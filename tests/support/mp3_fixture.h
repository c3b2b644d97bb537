#pragma once
// MP3 test material made at test time: signals as 16-bit PCM, encoded with
// libmp3lame (when linked, HAVE_MP3LAME) or else the `lame` program, always with
// the encoder's info tag so decoders can cut the delay and padding exactly.
#include <cstdint>
#include <string>
#include <vector>

namespace vantor_test {

struct Pcm16 {
  std::vector<int16_t> samples;  // interleaved
  int channels = 2;
  int rate = 44100;
  int64_t Frames() const { return static_cast<int64_t>(samples.size()) / channels; }
};

// A sine of `hz` at `amplitude` (1.0 = full scale), the same on every channel.
Pcm16 SineWave(double hz, double seconds, double amplitude = 0.5, int rate = 44100, int channels = 2);

// Clicks: `clicksPerSecond` short full-scale pulses over silence, the first at
// frame 0, so the start and every wrap are easy to find.
Pcm16 ClickTrack(double seconds, int clicksPerSecond = 4, int rate = 44100, int channels = 2);

// The MP3 bytes; empty (with a gtest failure) when no encoder works.
std::vector<uint8_t> EncodeMp3(const Pcm16& pcm, int kbps = 192);

// EncodeMp3 written to `path`; false on failure.
bool WriteMp3(const std::string& path, const Pcm16& pcm, int kbps = 192);

}  // namespace vantor_test
