#pragma once
// Image files written by tests and benchmarks: PNG in any colour type, depth and
// interlacing (libpng), 24-bit BMP, JPEG (through the platform encoder). Pixels go
// in as RGBA8, top row first; each writer keeps what its format can hold.
#include <cstdint>
#include <string>
#include <vector>

namespace vantor_test {

struct RgbaPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4, top row first

  RgbaPicture() = default;
  RgbaPicture(int w, int h) : width(w), height(h), rgba(static_cast<size_t>(w) * h * 4, 0) {}
  uint8_t* at(int x, int y) { return rgba.data() + (static_cast<size_t>(y) * width + x) * 4; }
  void Set(int x, int y, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255);
  void Fill(int x0, int y0, int x1, int y1, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255);
};

struct PngOptions {
  int colorType = 6;  // PNG_COLOR_TYPE_*: 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
  int bitDepth = 8;
  bool interlaced = false;
  bool paletteAlpha = false;  // palette: write a tRNS chunk from the alpha channel
  int filters = 0;            // PNG_FILTER_* flags the encoder may choose from; 0: its default
};

// Grey types take the red channel; palettes hold at most 256 distinct colours.
std::vector<uint8_t> EncodePng(const RgbaPicture& picture, const PngOptions& options = {});
std::vector<uint8_t> EncodeBmp(const RgbaPicture& picture);
std::vector<uint8_t> EncodeJpegFile(const RgbaPicture& picture, int quality = 95);

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A gradient-and-shapes test picture with enough detail to compress like a slide.
RgbaPicture PatternPicture(int width, int height, bool withAlpha, int seed);

}  // namespace vantor_test
