#include "tests/support/mp3_fixture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>

#ifdef HAVE_MP3LAME
#include <lame/lame.h>
#endif

namespace vantor_test {
namespace {

int16_t ToPcm(double v) { return static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0)); }

#ifdef HAVE_MP3LAME
std::vector<uint8_t> EncodeWithLibrary(const Pcm16& pcm, int kbps) {
  lame_global_flags* gf = lame_init();
  if (!gf) return {};
  lame_set_num_channels(gf, pcm.channels);
  lame_set_in_samplerate(gf, pcm.rate);
  lame_set_out_samplerate(gf, pcm.rate);
  lame_set_brate(gf, kbps);
  lame_set_mode(gf, pcm.channels == 1 ? MONO : JOINT_STEREO);
  lame_set_quality(gf, 2);
  lame_set_bWriteVbrTag(gf, 1);  // the info tag: delay and padding for gapless decoding
  if (lame_init_params(gf) < 0) {
    lame_close(gf);
    return {};
  }
  const int frames = static_cast<int>(pcm.Frames());
  std::vector<uint8_t> out(static_cast<size_t>(frames) * 5 / 4 + 7200 * 2);
  int n = 0;
  if (pcm.channels == 1) {
    n = lame_encode_buffer(gf, pcm.samples.data(), nullptr, frames, out.data(), static_cast<int>(out.size()));
  } else {
    // lame's interleaved entry point takes a non-const buffer.
    std::vector<int16_t> copy = pcm.samples;
    n = lame_encode_buffer_interleaved(gf, copy.data(), frames, out.data(), static_cast<int>(out.size()));
  }
  if (n < 0) {
    lame_close(gf);
    return {};
  }
  const int m = lame_encode_flush(gf, out.data() + n, static_cast<int>(out.size()) - n);
  if (m < 0) {
    lame_close(gf);
    return {};
  }
  out.resize(static_cast<size_t>(n + m));
  // The first frame was left blank for the tag; fill it in now that the
  // lengths are known.
  unsigned char tag[2880];
  const size_t tagSize = lame_get_lametag_frame(gf, tag, sizeof tag);
  if (tagSize > 0 && tagSize <= out.size()) std::copy(tag, tag + tagSize, out.begin());
  lame_close(gf);
  return out;
}
#endif

void PutLe(std::ofstream& f, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) f.put(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::vector<uint8_t> EncodeWithProgram(const Pcm16& pcm, int kbps) {
  static std::atomic<int> counter{0};
  const auto dir = std::filesystem::temp_directory_path();
  const std::string base =
      (dir / ("vantor_mp3_" + std::to_string(getpid()) + "_" + std::to_string(counter++))).string();
  const std::string wav = base + ".wav", mp3 = base + ".mp3";
  {
    std::ofstream f(wav, std::ios::binary);
    const uint32_t dataBytes = static_cast<uint32_t>(pcm.samples.size() * 2);
    f.write("RIFF", 4);
    PutLe(f, 36 + dataBytes, 4);
    f.write("WAVEfmt ", 8);
    PutLe(f, 16, 4);
    PutLe(f, 1, 2);
    PutLe(f, static_cast<uint32_t>(pcm.channels), 2);
    PutLe(f, static_cast<uint32_t>(pcm.rate), 4);
    PutLe(f, static_cast<uint32_t>(pcm.rate * pcm.channels * 2), 4);
    PutLe(f, static_cast<uint32_t>(pcm.channels * 2), 2);
    PutLe(f, 16, 2);
    f.write("data", 4);
    PutLe(f, dataBytes, 4);
    for (int16_t s : pcm.samples) PutLe(f, static_cast<uint16_t>(s), 2);
  }
  const std::string cmd = "lame --quiet -q 2 -b " + std::to_string(kbps) + (pcm.channels == 1 ? " -m m " : " -m j ") +
                          "'" + wav + "' '" + mp3 + "'";
  std::vector<uint8_t> bytes;
  if (std::system(cmd.c_str()) == 0) {
    std::ifstream in(mp3, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::filesystem::remove(wav);
  std::filesystem::remove(mp3);
  return bytes;
}

}  // namespace

Pcm16 SineWave(double hz, double seconds, double amplitude, int rate, int channels) {
  Pcm16 p;
  p.rate = rate;
  p.channels = channels;
  const int64_t frames = std::llround(seconds * rate);
  p.samples.reserve(static_cast<size_t>(frames * channels));
  for (int64_t i = 0; i < frames; ++i) {
    const int16_t v = ToPcm(amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate));
    for (int c = 0; c < channels; ++c) p.samples.push_back(v);
  }
  return p;
}

Pcm16 ClickTrack(double seconds, int clicksPerSecond, int rate, int channels) {
  Pcm16 p;
  p.rate = rate;
  p.channels = channels;
  const int64_t frames = std::llround(seconds * rate);
  p.samples.assign(static_cast<size_t>(frames * channels), 0);
  const int64_t every = rate / clicksPerSecond;
  for (int64_t start = 0; start < frames; start += every) {
    // A short decaying burst survives the encoder far better than a single spike.
    for (int64_t i = 0; i < 64 && start + i < frames; ++i) {
      const double v = 0.9 * std::exp(-static_cast<double>(i) / 12.0) * ((i % 2) ? -1.0 : 1.0);
      for (int c = 0; c < channels; ++c) p.samples[static_cast<size_t>((start + i) * channels + c)] = ToPcm(v);
    }
  }
  return p;
}

std::vector<uint8_t> EncodeMp3(const Pcm16& pcm, int kbps) {
  std::vector<uint8_t> bytes;
#ifdef HAVE_MP3LAME
  bytes = EncodeWithLibrary(pcm, kbps);
#endif
  if (bytes.empty()) bytes = EncodeWithProgram(pcm, kbps);
  EXPECT_FALSE(bytes.empty()) << "no MP3 encoder (libmp3lame or the lame program)";
  return bytes;
}

bool WriteMp3(const std::string& path, const Pcm16& pcm, int kbps) {
  const std::vector<uint8_t> bytes = EncodeMp3(pcm, kbps);
  if (bytes.empty()) return false;
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

}  // namespace vantor_test
