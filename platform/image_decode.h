#pragma once
// Picture decoding and JPEG encoding over SDL2_image, from and to memory. What a
// texture makes of the pixels (size rule, row order, alpha) is decided above this
// layer; here a picture only becomes rows of bytes. Any thread (decodes take
// turns: SDL_image is not thread-safe); no GL.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace VantorGL::platform {

struct DecodedPixels {
  int width = 0;
  int height = 0;
  int channels = 0;             // 3: R, G, B; 4: R, G, B, A (straight alpha)
  std::vector<uint8_t> pixels;  // width * height * channels bytes, top row first
};

// `type` is SDL2_image's format name ("JPG", "PNG", "BMP", "GIF"). False when the
// bytes do not decode. The caller checks the declared size before calling: the
// decoder allocates whatever the header asks for.
bool DecodePicture(const uint8_t* data, size_t size, const char* type, DecodedPixels& out);

// JPEG bytes of an RGB or RGBA picture (top row first); empty on failure. For
// tools and tests that write pictures.
std::vector<uint8_t> EncodeJpeg(const uint8_t* pixels, int width, int height, int channels,
                                int quality);

}  // namespace VantorGL::platform
