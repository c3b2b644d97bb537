// Any bytes through the MP3 decoding that creating a stream does: the whole-file
// decode (the in-memory reader, gapless trimming, the length cap, the resampler)
// and the decode as it plays (the scan, reads across the end, a seek back).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "shell/mp3_decoder.h"

using namespace VantorGL;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (auto stream = Mp3Stream::Open(std::vector<uint8_t>(data, data + size))) {
    if (stream->Frames() <= 0) __builtin_trap();
    std::vector<float> block(2 * 4096);
    for (int64_t from : {int64_t{0}, stream->Frames() - 100, stream->Frames() / 2, int64_t{0}}) {
      stream->Read(from, block.data(), 4096);
      for (float v : block) {
        if (!std::isfinite(v) || std::abs(v) > 1.0f) __builtin_trap();
      }
    }
  }
  const auto decoded = DecodeMp3(data, size, 44100);
  if (!decoded) return 0;
  if (decoded->frames <= 0 || decoded->samples.size() != static_cast<size_t>(decoded->frames) * 2) __builtin_trap();
  for (float v : decoded->samples) {
    if (!std::isfinite(v) || std::abs(v) > 1.0f) __builtin_trap();
  }
  return 0;
}
