#include "resources/font.h"

#include <epoxy/gl.h>

namespace VantorGL {

// Glyph building lands with the font work; until then records stay unbuilt.
void FontRecord::BuildBitmapFont(const std::string&, const std::string&, int) {}
void FontRecord::BuildOutlineFont() {}

void FontRecord::DeleteFontLists() {
  if (bitmapBase != 0) glDeleteLists(bitmapBase, 96);
  if (outlineBase != 0) glDeleteLists(outlineBase, 256);
  bitmapBase = 0;
  outlineBase = 0;
}

}  // namespace VantorGL
