// Both texture decoding paths on arbitrary bytes, through everything but the GL
// upload: PNG reading, picture header checks and decoding, the size rules, the
// stretch and the picture path's alpha.
#include <cstddef>
#include <cstdint>

#include "resources/texture_images.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A small maximum keeps each stretched result small; the decoders see the
  // declared sizes untouched.
  constexpr int kMaxSize = 512;
  VantorGL::PreparePngTexture(data, size, kMaxSize);
  VantorGL::PreparePictureTexture(data, size, kMaxSize);
  return 0;
}
