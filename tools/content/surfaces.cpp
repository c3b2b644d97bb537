#include "surfaces.h"

#include <cmath>

#include "noise.h"

namespace content {

namespace {

// Height of the panel pattern shared by the plates and their normal map:
// 4 x 4 bevelled plates with rivets and a little grain, tiling over [0, 1).
float PanelHeight(float u, float v) {
  const float pu = u * 4.0f, pv = v * 4.0f;
  const float fu = pu - std::floor(pu), fv = pv - std::floor(pv);
  const float edge = std::min(std::min(fu, 1.0f - fu), std::min(fv, 1.0f - fv));
  float h = Clamp01(edge / 0.06f);                      // bevel towards the seams
  h = h * h * (3.0f - 2.0f * h);
  // Rivets near the corners of every plate.
  for (float cx : {0.12f, 0.88f})
    for (float cy : {0.12f, 0.88f}) {
      const float d = std::hypot(fu - cx, fv - cy);
      if (d < 0.035f) h += 0.35f * std::sqrt(1.0f - (d / 0.035f) * (d / 0.035f));
    }
  h += 0.06f * (Fbm(u * 32.0f, v * 32.0f, 3, 32, 71) - 0.5f);
  return h;
}

}  // namespace

Bytes MakePlatesPicture(int width, int height) {
  Canvas c(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const float u = (static_cast<float>(x) + 0.5f) / width, v = (static_cast<float>(y) + 0.5f) / height;
      const float h = PanelHeight(u, v);
      const float grime = Fbm(u * 8.0f, v * 8.0f, 5, 8, 11);
      const float tint = Fbm(u * 4.0f + 7.0f, v * 4.0f, 2, 4, 12);
      Rgba steel = Mix(Rgb(0.32f, 0.36f, 0.42f), Rgb(0.62f, 0.66f, 0.72f), grime);
      steel = Mix(steel, Rgb(0.55f, 0.42f, 0.30f), 0.35f * tint * tint);  // a little rust
      const float shade = 0.45f + 0.55f * Clamp01(h);
      c.At(x, y) = Lift({steel.r * shade, steel.g * shade, steel.b * shade, 1.0f});
    }
  return EncodeJpeg(c, 90);
}

Bytes MakePlatesNormalMap(int width, int height) {
  std::vector<float> h(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      h[static_cast<size_t>(y) * width + x] =
          PanelHeight((static_cast<float>(x) + 0.5f) / width, (static_cast<float>(y) + 0.5f) / height);
  auto H = [&](int x, int y) { return h[static_cast<size_t>((y + height) % height) * width + (x + width) % width]; };
  Canvas c(width, height);
  const float strength = 6.0f;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      // Rows run along the texture's t axis (the PNG path uploads the top row
      // first), so the row derivative is the one that belongs in green.
      const float ds = (H(x + 1, y) - H(x - 1, y)) * 0.5f * strength;
      const float dt = (H(x, y + 1) - H(x, y - 1)) * 0.5f * strength;
      float nx = -ds, ny = -dt, nz = 1.0f;
      const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
      nx /= len, ny /= len, nz /= len;
      c.At(x, y) = {nx * 0.5f + 0.5f, ny * 0.5f + 0.5f, nz * 0.5f + 0.5f, 1.0f};
    }
  return EncodePng(c, false);
}

Bytes MakeWaterPicture(int width, int height) {
  Canvas c(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const float u = (static_cast<float>(x) + 0.5f) / width, v = (static_cast<float>(y) + 0.5f) / height;
      const float a = Fbm(u * 6.0f, v * 6.0f, 4, 6, 31);
      const float b = Fbm(u * 6.0f + 3.1f, v * 6.0f + 1.7f, 4, 6, 32);
      // Ridges of two noise fields cross like caustic light on a pool floor.
      const float ra = 1.0f - std::fabs(a * 2.0f - 1.0f), rb = 1.0f - std::fabs(b * 2.0f - 1.0f);
      const float caustic = std::pow(ra, 6.0f) + std::pow(rb, 6.0f);
      const float depth = Fbm(u * 2.0f, v * 2.0f, 3, 2, 33);
      Rgba col = Mix(Rgb(0.02f, 0.16f, 0.30f), Rgb(0.06f, 0.38f, 0.52f), depth);
      col = Mix(col, Rgb(0.75f, 0.95f, 1.0f), Clamp01(caustic * 0.55f));
      c.At(x, y) = Lift(col);
    }
  return EncodeJpeg(c, 90);
}

Bytes MakeSkyPicture(int width, int height) {
  Canvas c(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const float u = (static_cast<float>(x) + 0.5f) / width, v = (static_cast<float>(y) + 0.5f) / height;
      // v = 0 is the zenith, v = 1 the horizon; a warm glow near the horizon.
      Rgba sky = Mix(Rgb(0.05f, 0.12f, 0.35f), Rgb(0.35f, 0.55f, 0.85f), std::pow(v, 1.5f));
      sky = Mix(sky, Rgb(0.98f, 0.66f, 0.42f), std::pow(v, 6.0f) * 0.8f);
      // Clouds repeat every 8 cells across, so the texture wraps around a dome.
      const float cloud = Fbm(u * 8.0f, v * 6.0f, 5, 8, 41);
      const float cover = Clamp01((cloud - 0.48f) * 3.0f) * (0.3f + 0.7f * v);
      sky = Mix(sky, Mix(Rgb(0.95f, 0.95f, 1.0f), Rgb(1.0f, 0.8f, 0.7f), v * v), cover * 0.85f);
      c.At(x, y) = Lift(sky);
    }
  return EncodeJpeg(c, 90);
}

}  // namespace content
