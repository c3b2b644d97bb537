#pragma once
// Picture decoding and JPEG encoding, from and to memory. What a texture makes of
// the pixels (size rule, row order, alpha) is decided above this layer; here a
// picture only becomes rows of bytes. Any thread; no GL. JPEG goes through
// libjpeg with a codec of its own per call and BMP through SDL's own reader
// (which shares nothing but SDL's locked format cache), so the pictures a
// program loads decode on every loading thread at once. Other formats go
// through SDL2_image one at a time: its loaders set its formats up in unlocked
// globals.
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

// `type` is SDL2_image's format name ("JPG", "BMP", "PNG", ...). False when the
// bytes do not decode, and for a JPEG or BMP that ends before its picture does
// (cut short, or still being written): libjpeg would only warn and fill the rest
// with grey; SDL's BMP reader fails on a short read. The caller checks the
// declared size before calling: the decoder allocates whatever the header asks
// for.
bool DecodePicture(const uint8_t* data, size_t size, const char* type, DecodedPixels& out);

// JPEG bytes of an RGB or RGBA picture (top row first, alpha dropped); empty on
// failure. For tools and tests that write pictures.
std::vector<uint8_t> EncodeJpeg(const uint8_t* pixels, int width, int height, int channels,
                                int quality);

}  // namespace VantorGL::platform
