#include "titles.h"

#include <algorithm>
#include <cmath>

namespace content {

Bytes MakeTextPicture(const Typeface& face, const std::string& text, int width, int height, Rgba fill,
                      Rgba glow) {
  Canvas c(width, height);
  TextStyle style;
  style.fill = fill;
  style.glow = glow;
  style.glowRadius = std::max(1, height / 24);
  style.shadowRadius = 0;
  // The capital height is about 70 % of the size: 60 % of the height in capitals.
  const int size = std::max(8, static_cast<int>(height * 0.6f / 0.7f));
  DrawTextCentred(c, face, text, size, width / 2, height / 2, style, width * 9 / 10);
  return EncodePng(c, true);
}

Bytes MakeIcon(int size, const Typeface* face, const std::string& text) {
  Canvas c(size, size);
  const float n = static_cast<float>(size);
  const float corner = 0.18f * n;
  constexpr float kPi = 3.14159265358979f;
  Shade(c, [&](float x, float y) {
    // Distance outside the rounded square (negative inside), for a one-pixel soft edge.
    const float qx = std::max(std::fabs(x - n / 2) - (n / 2 - corner - 1), 0.0f);
    const float qy = std::max(std::fabs(y - n / 2) - (n / 2 - corner - 1), 0.0f);
    const float outside = std::hypot(qx, qy) - corner;
    const float a = Clamp01(0.5f - outside);
    return Mix(Rgba{0.10f, 0.16f, 0.40f, a}, Rgba{0.02f, 0.03f, 0.10f, a}, y / n);
  });
  // The ring: teeth on the outer edge, drawn as a coverage mask and glowed.
  Mask ring(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float dx = (static_cast<float>(x) + 0.5f - n / 2) / n, dy = (static_cast<float>(y) + 0.5f - n / 2) / n;
      const float r = std::hypot(dx, dy), a = std::atan2(dy, dx);
      const float t = std::fmod(a / (2.0f * kPi) * 12.0f + 12.0f, 1.0f);
      const float tooth = std::clamp((0.5f - std::fabs(t - 0.5f)) * 6.0f - 0.7f, 0.0f, 1.0f);
      const float outer = 0.33f + 0.05f * tooth, inner = 0.25f;
      ring.At(x, y) = Clamp01((outer - r) * n + 0.5f) * Clamp01((r - inner) * n + 0.5f);
    }
  Mask glow = ring;
  BlurMask(glow, std::max(1, size / 32));
  PaintMask(c, glow, 0, 0, {0.3f, 0.8f, 1.0f, 0.9f});
  PaintMask(c, ring, 0, 0, {0.85f, 0.95f, 1.0f, 1.0f});
  if (face && !text.empty()) {
    TextStyle style;
    style.glowRadius = std::max(1, size / 40);
    style.shadowRadius = 0;
    style.fill = {1.0f, 0.75f, 0.35f, 1.0f};
    style.glow = {1.0f, 0.5f, 0.1f, 0.8f};
    DrawTextCentred(c, *face, text, size * 3 / 10, size / 2, size / 2, style, size * 2 / 5);
  }
  return EncodePng(c, true);
}

}  // namespace content
