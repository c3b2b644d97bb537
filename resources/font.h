#pragma once
// FontRecord: a TrueType face turned into GL display lists: 96 bitmap glyph lists
// (codes 32..127) and 256 extruded outline glyph lists (codes 0..254; 255 stays
// empty). Glyphs come from FreeType; a face named without a file is found
// through fontconfig (a metric-compatible stand-in such as "Liberation Sans"
// for "Arial" counts). Built with the GL context current, main thread only
// (PrepareOutlineFont aside); the record owns its lists and deletes them only
// through DeleteFontLists.
#include <cstdint>
#include <string>

namespace VantorGL {

struct GlyphMetrics {
  float blackBoxWidth = 0, blackBoxHeight = 0;
  float originX = 0, originY = 0;
  float advanceX = 0, advanceY = 0;
};

class FontRecord {
 public:
  FontRecord() = default;
  FontRecord(const FontRecord&) = delete;
  FontRecord& operator=(const FontRecord&) = delete;

  // `fontFile` may be empty (a system face found by name); a negative height asks
  // for that character height (the em) in pixels, a positive one for the cell
  // height. Each list draws its glyph with glBitmap at the raster position and
  // advances it. A missing file or face leaves the 96 lists allocated but empty.
  void BuildBitmapFont(const std::string& fontFile, const std::string& faceName, int height);
  // "Action Force Normal" from "Data/General/c_font.ttf" at height -48: each list
  // draws its glyph in em units (front face at z 0, back face at z -0.2, side
  // walls) and then translates by the advance; fills metrics[0..254] in em units.
  void BuildOutlineFont();
  // The part of BuildOutlineFont that needs no GL (reading the face and
  // tessellating its glyphs), done ahead on any thread; builds then only compile
  // the lists. The glyphs are kept for the process and made again only when the
  // font file changes.
  static void PrepareOutlineFont();
  // Deletes this record's lists, built or not; an unbuilt record touches nothing.
  void DeleteFontLists();

  GlyphMetrics metrics[256] = {};
  uint32_t bitmapBase = 0;
  uint32_t outlineBase = 0;
  void* deviceContext = nullptr;  // the screen's; unused on this platform
  void* windowHandle = nullptr;   // never set
};

}  // namespace VantorGL
