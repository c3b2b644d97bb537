// Any bytes through the whole-file MP3 decoding that creating a stream does:
// the in-memory reader, gapless trimming, the length cap and the resampler.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "shell/mp3_decoder.h"

using namespace VantorGL;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto decoded = DecodeMp3(data, size, 44100);
  if (!decoded) return 0;
  if (decoded->frames <= 0 || decoded->samples.size() != static_cast<size_t>(decoded->frames) * 2) __builtin_trap();
  for (float v : decoded->samples) {
    if (!std::isfinite(v) || std::abs(v) > 1.0f) __builtin_trap();
  }
  return 0;
}
