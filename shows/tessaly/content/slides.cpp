// The 56 slides of the show: text set in the production's face over a clear
// background, so the moving background frames show through. Long slides carry
// the words; the 100 to 300 ms ones are flashes and impacts on the music's hits.
// Slide 4 is never scheduled; it exists so the table has no hole.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "content.h"
#include "cue_sheet.h"
#include "image.h"
#include "noise.h"
#include "paint.h"

namespace content {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr int kCx = kSlideWidth / 2;
constexpr int kCy = kSlideHeight / 2;

enum class Kind {
  Word,      // one big line, optional caption below and kicker above
  TwoLines,  // two big lines, optional caption
  Credit,    // small role above, big name
  List,      // several medium lines
  Burst,     // white flash from the centre
  Rays,      // impact: speed lines from the centre
  Ring,      // impact: a shock ring
};

struct SlideSpec {
  Kind kind;
  const char* a;        // main text (first line)
  const char* b;        // second line, name, or nullptr
  const char* caption;  // small line below, or nullptr
  const char* kicker;   // small line above, or nullptr
  Rgba accent;          // glow colour
  int size;             // main text size in pixels
};

constexpr Rgba kCyan{0.25f, 0.75f, 1.0f, 0.9f};
constexpr Rgba kOrange{1.0f, 0.55f, 0.15f, 0.9f};
constexpr Rgba kMagenta{0.95f, 0.25f, 0.85f, 0.9f};
constexpr Rgba kGreen{0.35f, 1.0f, 0.55f, 0.85f};
constexpr Rgba kGold{1.0f, 0.8f, 0.3f, 0.9f};
constexpr Rgba kWhite{0.9f, 0.95f, 1.0f, 0.9f};

const std::array<SlideSpec, kSlideCount> kSlides = {{
    /* 0 */ {Kind::Word, "TESSALY", nullptr, "2011", "VantorGL presents", kCyan, 210},
    /* 1 */ {Kind::Word, "GET", nullptr, nullptr, nullptr, kWhite, 260},
    /* 2 */ {Kind::Word, "READY", nullptr, nullptr, nullptr, kCyan, 230},
    /* 3 */ {Kind::Burst, nullptr, nullptr, nullptr, nullptr, kWhite, 0},
    /* 4 */ {Kind::Word, "SLIDE FOUR", nullptr, "never on screen - hello, reader of files", nullptr,
             kGreen, 150},
    /* 5 */ {Kind::Word, "THIS IS", nullptr, nullptr, nullptr, kOrange, 190},
    /* 6 */ {Kind::Word, "VANTORGL", nullptr, "the engine", nullptr, kOrange, 200},
    /* 7 */ {Kind::Rays, nullptr, nullptr, nullptr, nullptr, kOrange, 0},
    /* 8 */ {Kind::TwoLines, "A SMALL ENGINE", "FOR BIG SHOWS", "C++ - OpenGL - one thread, one clock",
             nullptr, kOrange, 120},
    /* 9 */ {Kind::Word, "C++", nullptr, nullptr, nullptr, kOrange, 280},
    /* 10 */ {Kind::Burst, nullptr, nullptr, nullptr, nullptr, kOrange, 0},
    /* 11 */ {Kind::Word, "OPENGL 2.1", nullptr, nullptr, nullptr, kOrange, 180},
    /* 12 */ {Kind::Word, "GLSL", nullptr, nullptr, nullptr, kMagenta, 260},
    /* 13 */ {Kind::Rays, nullptr, nullptr, nullptr, nullptr, kWhite, 0},
    /* 14 */ {Kind::Ring, nullptr, nullptr, nullptr, nullptr, kMagenta, 0},
    /* 15 */ {Kind::Word, "FBO", nullptr, "floating-point render targets", nullptr, kMagenta, 260},
    /* 16 */ {Kind::Word, "3DS", nullptr, "models with face groups", nullptr, kMagenta, 260},
    /* 17 */ {Kind::Word, "ASE", nullptr, "camera paths from the modeller", nullptr, kMagenta, 260},
    /* 18 */ {Kind::Word, "EFFECTS", nullptr, "what the engine can do", nullptr, kCyan, 200},
    /* 19 */ {Kind::Word, "BLUR + BLOOM", nullptr, "light that spills over", nullptr, kCyan, 150},
    /* 20 */ {Kind::TwoLines, "NORMAL", "MAPPING", "per-pixel light on every rivet", nullptr, kCyan,
              170},
    /* 21 */ {Kind::TwoLines, "REFLECTING", "WATER", "a Bezier surface mirrors the scene", nullptr,
              kCyan, 160},
    /* 22 */ {Kind::TwoLines, "GEOMETRY SHADER", "EXPLOSIONS", "triangles that fly apart", nullptr,
              kOrange, 120},
    /* 23 */ {Kind::Word, "PARTICLES", nullptr, nullptr, "01 / 16", kMagenta, 170},
    /* 24 */ {Kind::Word, "SKY DOME", nullptr, nullptr, "02 / 16", kCyan, 170},
    /* 25 */ {Kind::Word, "RENDER TARGETS", nullptr, nullptr, "03 / 16", kMagenta, 140},
    /* 26 */ {Kind::Word, "FLOAT TEXTURES", nullptr, nullptr, "04 / 16", kCyan, 140},
    /* 27 */ {Kind::Word, "OUTLINE FONTS", nullptr, nullptr, "05 / 16", kMagenta, 140},
    /* 28 */ {Kind::Word, "BITMAP FONTS", nullptr, nullptr, "06 / 16", kCyan, 140},
    /* 29 */ {Kind::Word, "PROPERTY FILES", nullptr, nullptr, "07 / 16", kMagenta, 140},
    /* 30 */ {Kind::Word, "CAMERA PATHS", nullptr, nullptr, "08 / 16", kCyan, 140},
    /* 31 */ {Kind::Word, "GEOSPHERES", nullptr, nullptr, "09 / 16", kOrange, 160},
    /* 32 */ {Kind::Word, "MULTISAMPLING", nullptr, nullptr, "10 / 16", kGreen, 140},
    /* 33 */ {Kind::Word, "ONE CLOCK", nullptr, nullptr, "11 / 16", kOrange, 170},
    /* 34 */ {Kind::Word, "MUSIC SYNC", nullptr, nullptr, "12 / 16", kGreen, 170},
    /* 35 */ {Kind::Word, "SPECTRUM", nullptr, nullptr, "13 / 16", kOrange, 170},
    /* 36 */ {Kind::Word, "SCENE WINDOWS", nullptr, nullptr, "14 / 16", kGreen, 140},
    /* 37 */ {Kind::Word, "56 SLIDES", nullptr, nullptr, "15 / 16", kOrange, 170},
    /* 38 */ {Kind::Word, "47 SECONDS", nullptr, nullptr, "16 / 16", kWhite, 170},
    /* 39 */ {Kind::Word, "CREDITS", nullptr, "the people behind it", nullptr, kGold, 200},
    /* 40 */ {Kind::Burst, nullptr, nullptr, nullptr, nullptr, kGold, 0},
    /* 41 */ {Kind::Credit, "CODE", "KORVEN", nullptr, nullptr, kGold, 190},
    /* 42 */ {Kind::Rays, nullptr, nullptr, nullptr, nullptr, kGold, 0},
    /* 43 */ {Kind::Credit, "GRAPHICS", "MIRELLE", nullptr, nullptr, kGold, 190},
    /* 44 */ {Kind::Ring, nullptr, nullptr, nullptr, nullptr, kGold, 0},
    /* 45 */ {Kind::Credit, "MUSIC", "OSCILLATOR 7", nullptr, nullptr, kGold, 160},
    /* 46 */ {Kind::Burst, nullptr, nullptr, nullptr, nullptr, kGreen, 0},
    /* 47 */ {Kind::Word, "GREETINGS", nullptr, "to everyone who makes things move", nullptr, kGreen,
              190},
    /* 48 */ {Kind::Word, "HI!", nullptr, nullptr, nullptr, kGreen, 300},
    /* 49 */ {Kind::List,
              "NULLPOINTER|SCANLINE CREW|VECTOR PIRATES|BLITTER BROTHERS|RASTER POETS|SINE WAVE ORCHESTRA",
              nullptr, nullptr, "greetings to", kGreen, 62},
    /* 50 */ {Kind::TwoLines, "EVERYONE AT", "THE PARTY", nullptr, nullptr, kGreen, 150},
    /* 51 */ {Kind::Word, "AND YOU", nullptr, nullptr, nullptr, kWhite, 220},
    /* 52 */ {Kind::TwoLines, "THANKS FOR", "WATCHING", nullptr, nullptr, kCyan, 150},
    /* 53 */ {Kind::Word, "SEE YOU", nullptr, nullptr, nullptr, kWhite, 220},
    /* 54 */ {Kind::Word, "TESSALY 2011", nullptr, "made with VantorGL", nullptr, kCyan, 150},
    /* 55 */ {Kind::Word, "THE END", nullptr, "tessaly 2011", nullptr, kWhite, 210},
}};

TextStyle Big(const Rgba& accent) {
  TextStyle s;
  s.glow = accent;
  s.glowRadius = 12;
  s.shadowRadius = 6;
  s.tracking = 4;
  return s;
}

TextStyle Small(const Rgba& accent) {
  TextStyle s;
  s.fill = {0.92f, 0.96f, 1.0f, 1.0f};
  s.glow = {accent.r, accent.g, accent.b, 0.6f};
  s.glowRadius = 4;
  s.shadowRadius = 4;
  s.tracking = 3;
  return s;
}

// A white-hot flash from the centre, fading out before the edges.
void PaintBurst(Canvas& c, const Rgba& tint, uint32_t seed) {
  Lcg rng(seed);
  std::array<float, 24> rayAngle{};
  for (float& a : rayAngle) a = rng.Uniform() * 2.0f * kPi;
  Shade(c, [&](float x, float y) {
    const float dx = x - kCx, dy = y - kCy;
    const float r = std::sqrt(dx * dx + dy * dy) / 620.0f;
    float a = std::pow(std::max(0.0f, 1.0f - r), 1.6f) * 0.92f;
    const float ang = std::atan2(dy, dx);
    float rays = 0;
    for (float ra : rayAngle) {
      float d = std::fabs(std::remainder(ang - ra, 2.0f * kPi));
      rays += std::max(0.0f, 1.0f - d / 0.035f);
    }
    a = std::min(1.0f, a + rays * 0.5f * std::max(0.0f, 1.0f - r * 0.8f));
    const float hot = std::max(0.0f, 1.0f - r * 2.5f);
    return Rgba{tint.r + (1.0f - tint.r) * hot, tint.g + (1.0f - tint.g) * hot,
                tint.b + (1.0f - tint.b) * hot, a};
  });
}

// Speed lines rushing out of the centre.
void PaintRays(Canvas& c, const Rgba& tint, uint32_t seed) {
  Lcg rng(seed);
  struct Ray {
    float angle, width, start, strength;
  };
  std::array<Ray, 90> rays{};
  for (Ray& r : rays)
    r = {rng.Uniform() * 2.0f * kPi, 0.004f + 0.012f * rng.Uniform(), 0.15f + 0.35f * rng.Uniform(),
         0.5f + 0.5f * rng.Uniform()};
  Shade(c, [&](float x, float y) {
    const float dx = x - kCx, dy = y - kCy;
    const float r = std::sqrt(dx * dx + dy * dy) / 640.0f;
    const float ang = std::atan2(dy, dx);
    float a = 0;
    for (const Ray& ray : rays) {
      if (r < ray.start) continue;
      const float d = std::fabs(std::remainder(ang - ray.angle, 2.0f * kPi));
      const float w = ray.width * (0.3f + r);
      if (d < w) a = std::max(a, ray.strength * (1.0f - d / w) * std::min(1.0f, (r - ray.start) * 6.0f));
    }
    // A bright core ties the lines together.
    a = std::max(a, 0.8f * std::max(0.0f, 1.0f - r * 7.0f));
    return Rgba{tint.r * 0.4f + 0.6f, tint.g * 0.4f + 0.6f, tint.b * 0.4f + 0.6f, a};
  });
}

// A shock ring with a soft inner glow.
void PaintRing(Canvas& c, const Rgba& tint) {
  Shade(c, [&](float x, float y) {
    const float dx = (x - kCx), dy = (y - kCy);
    const float r = std::sqrt(dx * dx + dy * dy);
    const float ring = std::exp(-std::pow((r - 250.0f) / 22.0f, 2.0f));
    const float halo = 0.45f * std::exp(-std::pow((r - 250.0f) / 90.0f, 2.0f));
    const float a = std::min(1.0f, ring + halo);
    return Rgba{tint.r * 0.5f + 0.5f * ring, tint.g * 0.5f + 0.5f * ring, tint.b * 0.5f + 0.5f * ring,
                a * 0.95f};
  });
}

// A thin horizontal accent line with soft ends, under or over a heading.
void PaintRule(Canvas& c, int y, int halfWidth, const Rgba& accent) {
  for (int x = kCx - halfWidth; x < kCx + halfWidth; ++x) {
    const float t = 1.0f - std::fabs(static_cast<float>(x - kCx)) / halfWidth;
    for (int dy = -1; dy <= 1; ++dy) {
      Rgba s{accent.r * 0.5f + 0.5f, accent.g * 0.5f + 0.5f, accent.b * 0.5f + 0.5f,
             std::min(1.0f, t * 2.0f) * (dy == 0 ? 0.95f : 0.4f)};
      BlendOver(c.At(x, y + dy), s);
    }
  }
}

std::string Field(const char* s) { return s ? std::string(s) : std::string(); }

}  // namespace

std::string SlideCaption(int index) {
  const SlideSpec& s = kSlides[static_cast<size_t>(index)];
  switch (s.kind) {
    case Kind::Burst: return "flash";
    case Kind::Rays: return "impact lines";
    case Kind::Ring: return "impact ring";
    case Kind::List: return "greetings list";
    case Kind::TwoLines: return Field(s.a) + " " + Field(s.b);
    case Kind::Credit: return Field(s.a) + " - " + Field(s.b);
    case Kind::Word: return Field(s.a);
  }
  return {};
}

Bytes MakeSlide(int index, const Typeface& face) {
  const SlideSpec& s = kSlides[static_cast<size_t>(index)];
  Canvas c(kSlideWidth, kSlideHeight);
  const uint32_t seed = 1000U + static_cast<uint32_t>(index);
  switch (s.kind) {
    case Kind::Burst: PaintBurst(c, s.accent, seed); break;
    case Kind::Rays: PaintRays(c, s.accent, seed); break;
    case Kind::Ring: PaintRing(c, s.accent); break;
    case Kind::Word: {
      // Short slides (the beat run) hop a little up and down so consecutive
      // words do not sit on the same line.
      int cy = kCy;
      if (index >= 23 && index <= 38) cy += (index % 2 == 0) ? -40 : 40;
      if (s.caption) cy -= index == 0 ? 64 : 30;
      const int used = DrawTextCentred(c, face, s.a, s.size, kCx, cy, Big(s.accent));
      const int half = face.CapHeight(used) / 2;
      if (s.kicker) DrawTextCentred(c, face, s.kicker, 40, kCx, cy - half - 56, Small(s.accent));
      if (s.caption) {
        PaintRule(c, cy + half + 34, 220, s.accent);
        // The title's year is part of the title, not a footnote.
        const int captionSize = index == 0 ? 96 : (s.size >= 200 ? 64 : 44);
        DrawTextCentred(c, face, s.caption, captionSize, kCx, cy + half + 34 + captionSize * 3 / 4,
                        index == 0 ? Big(s.accent) : Small(s.accent));
      }
      break;
    }
    case Kind::TwoLines: {
      const int cap = face.CapHeight(s.size);
      const int half = (cap + cap * 45 / 100) / 2;  // centre to centre over two
      const int cy = kCy - (s.caption ? 36 : 0);
      DrawTextCentred(c, face, s.a, s.size, kCx, cy - half, Big(s.accent));
      DrawTextCentred(c, face, s.b, s.size, kCx, cy + half, Big(s.accent));
      if (s.caption) {
        const int below = cy + half + cap / 2 + 36;
        PaintRule(c, below, 220, s.accent);
        DrawTextCentred(c, face, s.caption, 44, kCx, below + 48, Small(s.accent));
      }
      break;
    }
    case Kind::Credit: {
      DrawTextCentred(c, face, s.a, 56, kCx, kCy - 110, Small(s.accent));
      PaintRule(c, kCy - 62, 160, s.accent);
      DrawTextCentred(c, face, s.b, s.size, kCx, kCy + 40, Big(s.accent));
      break;
    }
    case Kind::List: {
      std::string all = s.a;
      std::vector<std::string> lines;
      for (size_t start = 0;;) {
        const size_t bar = all.find('|', start);
        lines.push_back(all.substr(start, bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
      }
      const int step = s.size + 22;
      const int top = kCy - step * static_cast<int>(lines.size() - 1) / 2 + 30;
      DrawTextCentred(c, face, s.kicker, 44, kCx, top - 96, Small(s.accent));
      PaintRule(c, top - 58, 200, s.accent);
      TextStyle st = Big(s.accent);
      st.glowRadius = 8;
      for (size_t i = 0; i < lines.size(); ++i)
        DrawTextCentred(c, face, lines[i], s.size, kCx, top + static_cast<int>(i) * step, st);
      break;
    }
  }
  return EncodePng(c, true);
}

}  // namespace content
