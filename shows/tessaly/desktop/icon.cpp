// tessaly-icon: the desktop's icon, painted with the production's own content
// code: the loading picture's colours on a rounded square, the title's initial
// glowing in the middle. Deterministic, like the rest of the content.
//
//   tessaly-icon --size N --font FONT.ttf --out FILE.png     (N: 16 to 1024)
//
// Stands in until the engine's content tool (vantorgl-content icon) is built
// beside it; desktop/CMakeLists.txt takes that tool when it is there.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>

#include "image.h"
#include "paint.h"
#include "text.h"

using namespace content;

namespace {

float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

std::vector<uint8_t> MakeIcon(int size, const Typeface& face) {
  const float n = static_cast<float>(size);
  const float corner = n * 0.18f, margin = n / 32.0f;
  Canvas c(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float u = (x + 0.5f) / n - 0.5f, v = (y + 0.5f) / n - 0.5f;
      c.At(x, y) = Mix({0.10f, 0.14f, 0.30f, 1}, {0.02f, 0.02f, 0.06f, 1}, Clamp01(std::hypot(u, v) * 1.8f));
    }
  TextStyle letter;
  letter.glowRadius = std::max(1, size / 24);
  letter.shadowRadius = std::max(1, size / 40);
  DrawTextCentred(c, face, "T", static_cast<int>(n * 0.78f), size / 2, size / 2, letter, size);
  // The rounded square's coverage, anti-aliased over one pixel.
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float qx = std::max(std::abs(x + 0.5f - n / 2) - (n / 2 - margin - corner), 0.0f);
      const float qy = std::max(std::abs(y + 0.5f - n / 2) - (n / 2 - margin - corner), 0.0f);
      c.At(x, y).a *= Clamp01(corner - std::hypot(qx, qy) + 0.5f);
    }
  return EncodePng(c, true);
}

}  // namespace

int main(int argc, char** argv) {
  std::string font, out;
  int size = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    if (key == "--font") font = argv[i + 1];
    else if (key == "--out") out = argv[i + 1];
    else if (key == "--size") size = std::atoi(argv[i + 1]);
  }
  if (font.empty() || out.empty() || size < 16 || size > 1024) {
    std::fprintf(stderr, "usage: tessaly-icon --size 16..1024 --font FONT.ttf --out FILE.png\n");
    return 64;
  }
  try {
    const std::vector<uint8_t> png = MakeIcon(size, Typeface(font));
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    if (!file) throw std::runtime_error("cannot write " + out);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tessaly-icon: %s\n", e.what());
    return 1;
  }
}
