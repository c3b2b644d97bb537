#pragma once
// The CPU half of texture loading: the bytes of an image file become the rows a
// texture is made from. Two paths, as cTextureSystem chooses them:
//   PNG path     - our libpng reader: palette, grey, low and 16-bit depths and
//                  interlacing expanded to 8-bit RGB or RGBA (alpha only where the
//                  file has it); rows in file order; sides above the maximum become
//                  the maximum, other non-powers of two grow to the next power of two.
//   picture path - JPEG or BMP through the platform decoder, PNG through ours;
//                  each side becomes the maximum or the nearest power of two (log
//                  scale); rows bottom first; always RGBA, alpha 0 for pure black,
//                  else 255.
// Nothing here touches GL, so tests and fuzzers call it directly. Any thread.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace VantorGL {

struct TextureImage {
  int width = 0;
  int height = 0;
  int channels = 0;             // 3 (RGB) or 4 (RGBA)
  std::vector<uint8_t> pixels;  // rows in upload order: row 0 is texture row 0
};

// Pictures above this many pixels are refused before anything is allocated for
// them: a header may declare up to 4 billion pixels in a few bytes.
constexpr int64_t kMaxImagePixels = int64_t{1} << 25;

// Side rules. `maxSize` is the context's maximum texture size.
int PngTextureSide(int size, int maxSize);      // > max: max; else next power of two
int PictureTextureSide(int size, int maxSize);  // > max: max; else 2^floor(log2(size) + 0.5)

// A PNG file's pixels as 8-bit RGB or RGBA, top row first; nothing when the bytes
// are not a complete, valid PNG.
std::optional<TextureImage> DecodePng(const uint8_t* data, size_t size);

// A JPEG or BMP picture through the platform decoder, or a PNG through DecodePng:
// RGB or RGBA (straight alpha), top row first. Declared sizes above
// kMaxImagePixels are refused before decoding; files that end before their
// picture does (cut short, still being written) by the decoder.
std::optional<TextureImage> DecodePictureFile(const uint8_t* data, size_t size);

// Bilinear stretch of `source` to width x height (pixel centres onto pixel
// centres); with `flipRows` the bottom row of the picture comes first.
TextureImage Stretch(const TextureImage& source, int width, int height, bool flipRows);

// The whole CPU side of each path, ready for glTexImage2D. `largestSide`, when
// given, receives the largest side of the file's picture and of the result: the
// result is the same for every `maxSize` at least that large.
std::optional<TextureImage> PreparePngTexture(const uint8_t* data, size_t size, int maxSize,
                                              int* largestSide = nullptr);
std::optional<TextureImage> PreparePictureTexture(const uint8_t* data, size_t size, int maxSize,
                                                  int* largestSide = nullptr);

}  // namespace VantorGL
