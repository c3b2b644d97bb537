#pragma once
// Deterministic noise for the generated pictures, tunes and landscapes: integer
// hashing (no library generator, no seeds from the clock), so every run and
// every machine gives the same values.
#include <cmath>
#include <cstdint>

namespace content {

inline uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

inline uint32_t Hash3(int32_t a, int32_t b, uint32_t seed) {
  return Hash(static_cast<uint32_t>(a) * 0x9E3779B1U ^ Hash(static_cast<uint32_t>(b) + seed * 0x85EBCA77U));
}

// Uniform in [0, 1).
inline float Rand01(uint32_t h) { return static_cast<float>(h >> 8) * (1.0f / 16777216.0f); }

// Small generator for sequences (noise bursts, scattered shapes).
struct Lcg {
  explicit Lcg(uint32_t seed) : state(seed * 2654435761U + 1U) {}
  uint32_t Next() {
    state = state * 1664525U + 1013904223U;
    return Hash(state);
  }
  float Uniform() { return Rand01(Next()); }           // [0, 1)
  float Signed() { return Uniform() * 2.0f - 1.0f; }   // [-1, 1)
  uint32_t state;
};

inline float Smooth(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

// Value noise on an integer lattice that repeats every `period` cells in x and
// y (period <= 0: no repetition). Result in [0, 1].
inline float ValueNoise(float x, float y, int period, uint32_t seed) {
  const float fx = std::floor(x), fy = std::floor(y);
  int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  const float tx = Smooth(x - fx), ty = Smooth(y - fy);
  auto wrap = [period](int v) { return period > 0 ? ((v % period) + period) % period : v; };
  const int x0 = wrap(ix), x1 = wrap(ix + 1), y0 = wrap(iy), y1 = wrap(iy + 1);
  const float a = Rand01(Hash3(x0, y0, seed)), b = Rand01(Hash3(x1, y0, seed));
  const float c = Rand01(Hash3(x0, y1, seed)), d = Rand01(Hash3(x1, y1, seed));
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

// Fractal sum of `octaves` layers, each twice the frequency and half the
// amplitude; tiles with `period` cells at the base frequency. Result in [0, 1].
inline float Fbm(float x, float y, int octaves, int period, uint32_t seed) {
  float sum = 0, amp = 0.5f, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * ValueNoise(x, y, period, seed + static_cast<uint32_t>(o) * 101U);
    norm += amp;
    amp *= 0.5f;
    x *= 2.0f;
    y *= 2.0f;
    if (period > 0) period *= 2;
  }
  return sum / norm;
}

}  // namespace content
