#pragma once
// Float RGBA canvases and the two image encoders the content tools write with:
// PNG (top row first, alpha kept when asked) and baseline JPEG (RGB only).
// Encoders write no time stamps or other varying chunks, so equal pixels give
// equal bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace content {

// Straight (not premultiplied) alpha, all channels nominally 0..1.
struct Rgba {
  float r = 0, g = 0, b = 0, a = 0;
};

inline Rgba Rgb(float r, float g, float b) { return {r, g, b, 1.0f}; }

inline float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

// Keeps a colour away from pure black, which the engine's picture path (JPEG,
// BMP) makes transparent; opaque.
inline Rgba Lift(Rgba c) {
  c.r = std::max(c.r, 0.03f);
  c.g = std::max(c.g, 0.03f);
  c.b = std::max(c.b, 0.04f);
  c.a = 1.0f;
  return c;
}

inline Rgba Mix(const Rgba& x, const Rgba& y, float t) {
  return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t,
          x.a + (y.a - x.a) * t};
}

struct Canvas {
  Canvas(int w, int h, Rgba fill = {});
  Rgba& At(int x, int y) { return px[static_cast<size_t>(y) * width + x]; }
  const Rgba& At(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }

  int width = 0;
  int height = 0;
  std::vector<Rgba> px;  // row 0 is the top row of the picture
};

// `src` over `dst`, straight alpha in and out.
void BlendOver(Rgba& dst, const Rgba& src);

// A single-channel coverage mask (0..1), used for text, glows and shapes.
struct Mask {
  Mask() = default;
  Mask(int w, int h) : width(w), height(h), v(static_cast<size_t>(w) * h, 0.0f) {}
  float& At(int x, int y) { return v[static_cast<size_t>(y) * width + x]; }
  float At(int x, int y) const { return v[static_cast<size_t>(y) * width + x]; }

  int width = 0;
  int height = 0;
  std::vector<float> v;
};

// Three box passes of radius r: close to a Gaussian of sigma ~ r.
void BlurMask(Mask& m, int radius);
// Paints `colour` through the mask (mask value scales the colour's alpha) with
// the mask's top-left corner at (x, y) of the canvas; clipped to the canvas.
void PaintMask(Canvas& c, const Mask& m, int x, int y, const Rgba& colour);

std::vector<uint8_t> EncodePng(const Canvas& c, bool withAlpha);
std::vector<uint8_t> EncodeJpeg(const Canvas& c, int quality);

}  // namespace content
