#include "text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <stdexcept>

namespace content {

namespace {
FT_Face Face(void* f) { return static_cast<FT_Face>(f); }
}  // namespace

Typeface::Typeface(const std::string& path) {
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib) != 0) throw std::runtime_error("FreeType: cannot start");
  library_ = lib;
  FT_Face face = nullptr;
  if (FT_New_Face(lib, path.c_str(), 0, &face) != 0)
    throw std::runtime_error("FreeType: cannot open the face " + path);
  face_ = face;
}

Typeface::~Typeface() {
  if (face_) FT_Done_Face(Face(face_));
  if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

int Typeface::Measure(const std::string& text, int pixelSize, int tracking) const {
  FT_Face face = Face(face_);
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
  long pen = 0;
  FT_UInt prev = 0;
  for (unsigned char ch : text) {
    const FT_UInt gi = FT_Get_Char_Index(face, ch);
    if (prev && gi && FT_HAS_KERNING(face)) {
      FT_Vector k;
      FT_Get_Kerning(face, prev, gi, FT_KERNING_DEFAULT, &k);
      pen += k.x >> 6;
    }
    if (FT_Load_Glyph(face, gi, FT_LOAD_DEFAULT) == 0) pen += (face->glyph->advance.x >> 6) + tracking;
    prev = gi;
  }
  return static_cast<int>(std::max(0L, pen - tracking));
}

int Typeface::CapHeight(int pixelSize) const {
  FT_Face face = Face(face_);
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
  if (FT_Load_Char(face, 'H', FT_LOAD_DEFAULT) != 0) return pixelSize * 7 / 10;
  return static_cast<int>(face->glyph->metrics.height >> 6);
}

TextMask Typeface::Render(const std::string& text, int pixelSize, int tracking, int pad) const {
  FT_Face face = Face(face_);
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
  const int ascender = static_cast<int>(face->size->metrics.ascender >> 6);
  const int descender = static_cast<int>(-(face->size->metrics.descender >> 6));
  TextMask out;
  out.inkWidth = Measure(text, pixelSize, tracking);
  out.capHeight = CapHeight(pixelSize);
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
  // A few pixels of slack on the sides: glyphs may overhang their advance.
  const int slack = pixelSize / 8 + 2;
  out.mask = Mask(out.inkWidth + 2 * (pad + slack), ascender + descender + 2 * pad);
  out.originX = pad + slack;
  out.baselineY = pad + ascender;
  long pen = 0;
  FT_UInt prev = 0;
  for (unsigned char ch : text) {
    const FT_UInt gi = FT_Get_Char_Index(face, ch);
    if (prev && gi && FT_HAS_KERNING(face)) {
      FT_Vector k;
      FT_Get_Kerning(face, prev, gi, FT_KERNING_DEFAULT, &k);
      pen += k.x >> 6;
    }
    prev = gi;
    if (FT_Load_Glyph(face, gi, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot g = face->glyph;
    const FT_Bitmap& bm = g->bitmap;
    const int ox = out.originX + static_cast<int>(pen) + g->bitmap_left;
    const int oy = out.baselineY - g->bitmap_top;
    for (unsigned int row = 0; row < bm.rows; ++row)
      for (unsigned int col = 0; col < bm.width; ++col) {
        const int x = ox + static_cast<int>(col), y = oy + static_cast<int>(row);
        if (x < 0 || y < 0 || x >= out.mask.width || y >= out.mask.height) continue;
        const float cov = bm.buffer[row * static_cast<unsigned>(bm.pitch) + col] / 255.0f;
        out.mask.At(x, y) = std::min(1.0f, out.mask.At(x, y) + cov);
      }
    pen += (g->advance.x >> 6) + tracking;
  }
  return out;
}

}  // namespace content
