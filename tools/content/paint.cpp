#include "paint.h"

#include <algorithm>
#include <cmath>

namespace content {

int FitSize(const Typeface& face, const std::string& text, int size, int tracking, int maxWidth) {
  int width = face.Measure(text, size, tracking);
  while (width > maxWidth && size > 8) {
    size = std::max(8, size * maxWidth / std::max(width, 1) - 1);
    width = face.Measure(text, size, tracking);
  }
  return size;
}

int DrawTextCentred(Canvas& c, const Typeface& face, const std::string& text, int size, int cx,
                    int cy, const TextStyle& style, int maxWidth) {
  size = FitSize(face, text, size, style.tracking, maxWidth);
  return DrawTextLine(c, face, text, size, cx, cy + face.CapHeight(size) / 2, style, maxWidth);
}

int DrawTextLine(Canvas& c, const Typeface& face, const std::string& text, int size, int cx,
                 int baseline, const TextStyle& style, int maxWidth) {
  size = FitSize(face, text, size, style.tracking, maxWidth);
  const int pad = std::max(style.glowRadius, style.shadowRadius) * 3 + 2;
  TextMask tm = face.Render(text, size, style.tracking, pad);
  const int x = cx - tm.inkWidth / 2 - tm.originX;
  const int y = baseline - tm.baselineY;
  if (style.shadowRadius > 0 && style.shadow.a > 0) {
    Mask halo = tm.mask;
    // Thicken before blurring so the halo reaches past thin strokes.
    BlurMask(halo, style.shadowRadius);
    for (float& v : halo.v) v = std::min(1.0f, v * 2.5f);
    PaintMask(c, halo, x, y + style.shadowRadius / 2, style.shadow);
  }
  if (style.glowRadius > 0 && style.glow.a > 0) {
    Mask glow = tm.mask;
    BlurMask(glow, style.glowRadius);
    for (float& v : glow.v) v = std::min(1.0f, v * 1.6f);
    PaintMask(c, glow, x, y, style.glow);
  }
  PaintMask(c, tm.mask, x, y, style.fill);
  return size;
}

void Shade(Canvas& c, const std::function<Rgba(float x, float y)>& shade) {
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      const Rgba s = shade(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f);
      if (s.a > 0.0f) BlendOver(c.At(x, y), s);
    }
}

void FillRect(Canvas& c, float x0, float y0, float x1, float y1, const Rgba& colour, float soft) {
  const int ix0 = std::max(0, static_cast<int>(std::floor(x0 - soft)));
  const int iy0 = std::max(0, static_cast<int>(std::floor(y0 - soft)));
  const int ix1 = std::min(c.width, static_cast<int>(std::ceil(x1 + soft)));
  const int iy1 = std::min(c.height, static_cast<int>(std::ceil(y1 + soft)));
  for (int y = iy0; y < iy1; ++y)
    for (int x = ix0; x < ix1; ++x) {
      const float px = static_cast<float>(x) + 0.5f, py = static_cast<float>(y) + 0.5f;
      const float dx = std::min(px - x0, x1 - px), dy = std::min(py - y0, y1 - py);
      const float cov = std::clamp(std::min(dx, dy) / soft + 0.5f, 0.0f, 1.0f);
      if (cov <= 0.0f) continue;
      Rgba s = colour;
      s.a *= cov;
      BlendOver(c.At(x, y), s);
    }
}

}  // namespace content
