// The production's own pictures: the six-frame background loop, the overlay
// and the loading picture (its surfaces come from the content library,
// tools/content/surfaces.h).
//
// Orientation: JPEGs go through the engine's picture path, which uploads the
// bottom row first, so they are painted upright. PNGs upload top row first and
// the slide and overlay quads are drawn mirrored, so those are painted upright
// too. Picture-path pixels of pure black become transparent, so every JPEG
// keeps its darkest colour above black.
#include <algorithm>
#include <cmath>

#include "content.h"
#include "image.h"
#include "paint.h"

namespace content {

namespace {

constexpr float kPi = 3.14159265358979f;

}  // namespace

Bytes MakeOverlay(const Typeface& face) {
  Canvas c(kSlideWidth, kSlideHeight);
  // Vignette: clear in the middle, darker towards the corners.
  Shade(c, [](float x, float y) {
    const float dx = (x / kSlideWidth - 0.5f) * 2.0f, dy = (y / kSlideHeight - 0.5f) * 2.0f;
    const float r = std::sqrt(dx * dx * 0.8f + dy * dy);
    const float a = Clamp01((r - 0.75f) / 0.7f);
    return Rgba{0.0f, 0.01f, 0.04f, a * a * 0.8f};
  });
  // Letterbox bars with a thin glowing edge.
  const float bar = 64.0f;
  FillRect(c, 0, 0, kSlideWidth, bar, {0.0f, 0.0f, 0.02f, 0.88f});
  FillRect(c, 0, kSlideHeight - bar, kSlideWidth, kSlideHeight, {0.0f, 0.0f, 0.02f, 0.88f});
  FillRect(c, 0, bar - 2, kSlideWidth, bar, {0.35f, 0.8f, 1.0f, 0.8f});
  FillRect(c, 0, kSlideHeight - bar, kSlideWidth, kSlideHeight - bar + 2, {0.35f, 0.8f, 1.0f, 0.8f});
  TextStyle small;
  small.glowRadius = 4;
  small.shadowRadius = 0;
  small.tracking = 6;
  small.fill = {0.85f, 0.95f, 1.0f, 0.95f};
  DrawTextLine(c, face, "TESSALY", 30, kSlideWidth - 130, kSlideHeight - 22, small);
  small.fill = {0.55f, 0.75f, 0.9f, 0.9f};
  DrawTextLine(c, face, "VANTORGL", 22, 110, kSlideHeight - 24, small);
  DrawTextLine(c, face, "LIVE", 22, 92, 40, small);
  // A recording dot beside "LIVE".
  Shade(c, [](float x, float y) {
    const float d = std::hypot(x - 40.0f, y - 32.0f);
    return Rgba{1.0f, 0.2f, 0.15f, Clamp01(9.0f - d)};
  });
  return EncodePng(c, true);
}

Bytes MakeBackgroundFrame(int frame) {
  // One turn of every phase over the six frames: the sixth frame leads back
  // into the first without a jump.
  const float phase = 2.0f * kPi * static_cast<float>(frame) / kBackgroundFrames;
  Canvas c(kSlideWidth, kSlideHeight);
  for (int y = 0; y < kSlideHeight; ++y)
    for (int x = 0; x < kSlideWidth; ++x) {
      const float u = (static_cast<float>(x) + 0.5f) / kSlideWidth - 0.5f;
      const float v = (static_cast<float>(y) + 0.5f) / kSlideHeight - 0.5f;
      const float px = u * 4.0f / 3.0f;
      const float r = std::sqrt(px * px + v * v);
      const float ang = std::atan2(v, px);
      // Plasma: layered waves whose phases all advance by whole turns per loop.
      float p = std::sin(px * 9.0f + phase) + std::sin(v * 11.0f - phase) +
                std::sin((px + v) * 7.0f + 2.0f * phase) + std::sin(r * 18.0f - phase) +
                0.6f * std::sin(ang * 3.0f + phase) * Clamp01(r * 5.0f);
      p = p / 4.6f * 0.5f + 0.5f;
      // A tunnel of rings moving outwards.
      const float rings = 0.5f + 0.5f * std::sin(std::log(r + 0.05f) * 14.0f - phase);
      Rgba col = Mix(Rgb(0.04f, 0.03f, 0.12f), Rgb(0.10f, 0.16f, 0.38f), p);
      col = Mix(col, Rgb(0.30f, 0.10f, 0.42f), Clamp01(p * p * p) * 0.55f);
      const float glow = std::pow(rings, 8.0f) * Clamp01(r * 1.6f);
      col.r += 0.10f * glow;
      col.g += 0.22f * glow;
      col.b += 0.30f * glow;
      // Faint scanlines and a darker rim keep the middle calm for the text.
      const float scan = (y % 4 == 0) ? 0.85f : 1.0f;
      const float vignette = 1.0f - 0.55f * Clamp01(r * r * 1.6f);
      c.At(x, y) = Lift({col.r * scan * vignette, col.g * scan * vignette,
                         col.b * scan * vignette, 1.0f});
    }
  return EncodeJpeg(c, 88);
}

Bytes MakeLoadingPicture(const Typeface& face) {
  // Shown stretched to a 3.08 : 2.08 quad of which about the middle 80 % of the
  // height is on screen: 1232 x 832 keeps its proportions, everything that
  // matters stays inside the middle band.
  const int w = 1232, h = 832;
  Canvas c(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float u = static_cast<float>(x) / w - 0.5f, v = static_cast<float>(y) / h - 0.5f;
      const float r = std::sqrt(u * u + v * v);
      Rgba col = Mix(Rgb(0.10f, 0.14f, 0.30f), Rgb(0.02f, 0.02f, 0.06f), Clamp01(r * 1.8f));
      const bool grid = (x % 44 == 0) || (y % 44 == 0);
      if (grid) col = Mix(col, Rgb(0.2f, 0.45f, 0.7f), 0.25f * (1.0f - Clamp01(r * 1.5f)));
      c.At(x, y) = col;
    }
  TextStyle title;
  title.glowRadius = 14;
  title.tracking = 10;
  DrawTextLine(c, face, "TESSALY", 190, w / 2, h / 2 + 20, title, 1000);
  TextStyle sub;
  sub.glowRadius = 6;
  sub.tracking = 24;
  sub.fill = {0.75f, 0.9f, 1.0f, 1.0f};
  DrawTextLine(c, face, "2011", 64, w / 2, h / 2 + 110, sub);
  sub.tracking = 8;
  sub.fill = {0.55f, 0.7f, 0.85f, 1.0f};
  DrawTextLine(c, face, "loading . . .", 34, w / 2, h / 2 + 230, sub);
  DrawTextLine(c, face, "a VantorGL production", 28, w / 2, h / 2 - 200, sub);
  for (Rgba& p : c.px) p = Lift(p);
  return EncodeJpeg(c, 90);
}

}  // namespace content
