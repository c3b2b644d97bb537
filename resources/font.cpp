#include "resources/font.h"

#include <epoxy/gl.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <strings.h>
#include <vector>

#include "shell/file_paths.h"

namespace VantorGL {

namespace {

constexpr int kBitmapFirst = 32;
constexpr int kBitmapCount = 96;
constexpr int kOutlineCount = 256;
constexpr int kOutlineBuilt = 255;  // codes 0..254; list 255 stays empty
constexpr float kExtrusion = 0.2f;  // em
constexpr const char* kTitleFontFile = "Data/General/c_font.ttf";
constexpr const char* kTitleFace = "Action Force Normal";
constexpr int kTitleHeight = -48;
// Upper bound for a font file read into memory; real faces are far smaller.
constexpr size_t kMaxFontBytes = size_t{64} << 20;

// The glyph a character code of the ANSI character set stands for: Latin-1,
// except 0x80..0x9F, which Windows-1252 fills with typographic characters.
FT_ULong AnsiToUnicode(int code) {
  static constexpr uint16_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  if (code >= 0x80 && code <= 0x9F) return kHigh[code - 0x80];
  return static_cast<FT_ULong>(code);
}

// A FreeType face together with the bytes it reads from (FreeType does not
// copy a memory face, so the buffer lives as long as the face).
class LoadedFace {
 public:
  LoadedFace() = default;
  ~LoadedFace() {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
  }
  LoadedFace(const LoadedFace&) = delete;
  LoadedFace& operator=(const LoadedFace&) = delete;

  // Opens face `index` of the file, or, with index < 0, the face of the file
  // whose family is `family` (the first face when none is).
  bool Open(const std::string& path, long index, const std::string& family) {
    auto bytes = ReadFileBytes(path, kMaxFontBytes);
    return bytes && Open(std::move(*bytes), index, family);
  }
  bool Open(std::vector<uint8_t> bytes, long index, const std::string& family) {
    if (bytes.empty()) return false;
    bytes_ = std::move(bytes);
    if (FT_Init_FreeType(&library_) != 0) {
      library_ = nullptr;
      return false;
    }
    if (index >= 0) return OpenIndex(index);
    if (!OpenIndex(0)) return false;
    const long faces = face_->num_faces;
    for (long i = 0; i < faces; ++i) {
      if (i > 0 && !OpenIndex(i)) continue;
      if (face_->family_name && strcasecmp(face_->family_name, family.c_str()) == 0) return true;
    }
    return OpenIndex(0);
  }

  FT_Face face() const { return face_; }
  FT_UInt GlyphIndex(int code) const {
    if (!face_->charmap) return 0;
    return FT_Get_Char_Index(face_, AnsiToUnicode(code));
  }

 private:
  bool OpenIndex(long index) {
    if (face_) FT_Done_Face(face_);
    face_ = nullptr;
    if (FT_New_Memory_Face(library_, bytes_.data(), static_cast<FT_Long>(bytes_.size()), index,
                           &face_) != 0) {
      face_ = nullptr;
      return false;
    }
    // Prefer the Unicode map; symbol fonts only carry their own.
    if (FT_Select_Charmap(face_, FT_ENCODING_UNICODE) != 0 && face_->num_charmaps > 0)
      FT_Set_Charmap(face_, face_->charmaps[0]);
    return true;
  }

  std::vector<uint8_t> bytes_;
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

// The installed face that fontconfig offers for `family`: the family itself or
// one of its metric-compatible stand-ins (those bound as strongly as the name,
// such as "Liberation Sans" for "Arial"). Fontconfig always answers with some
// face; a mere fallback (the desktop's default sans) counts as not found.
bool FindSystemFace(const std::string& family, std::string* file, int* index) {
  if (family.empty() || !FcInit()) return false;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);

  std::vector<std::string> accepted;
  FcValue value;
  FcValueBinding binding;
  for (int i = 0; FcPatternGetWithBinding(pattern, FC_FAMILY, i, &value, &binding) == FcResultMatch;
       ++i) {
    if (value.type == FcTypeString && (i == 0 || binding != FcValueBindingWeak))
      accepted.emplace_back(reinterpret_cast<const char*>(value.u.s));
  }

  bool found = false;
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  if (match && result == FcResultMatch) {
    FcChar8* matchedFamily = nullptr;
    for (int i = 0; !found && FcPatternGetString(match, FC_FAMILY, i, &matchedFamily) == FcResultMatch;
         ++i) {
      for (const auto& name : accepted)
        if (strcasecmp(name.c_str(), reinterpret_cast<const char*>(matchedFamily)) == 0) found = true;
    }
    FcChar8* path = nullptr;
    if (found && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
      *file = reinterpret_cast<const char*>(path);
      if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
    } else {
      found = false;
    }
  }
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return found;
}

// The face asked for: from its file when one is given and readable, else the
// installed face of that name.
bool OpenFace(LoadedFace& loaded, const std::string& fontFile, const std::string& faceName) {
  if (!fontFile.empty() && loaded.Open(ResolvePath(fontFile), -1, faceName)) return true;
  std::string file;
  int index = 0;
  return FindSystemFace(faceName, &file, &index) && loaded.Open(file, index, faceName);
}

// Pixel sizes for a requested height: negative asks for the em (character
// height), positive for the cell (ascent plus descent) as the face's Windows
// metrics give it.
bool SetPixelHeight(FT_Face face, int height) {
  if (height == 0) height = -12;
  if (height < 0) return FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(-height)) == 0;
  double cellUnits = 0;
  if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2)); os2 && os2->version != 0xFFFF)
    cellUnits = double(os2->usWinAscent) + double(os2->usWinDescent);
  if (cellUnits <= 0) cellUnits = double(face->ascender) - double(face->descender);
  if (cellUnits <= 0 || face->units_per_EM == 0) return FT_Set_Pixel_Sizes(face, 0, FT_UInt(height)) == 0;
  double em = height * double(face->units_per_EM) / cellUnits;
  FT_UInt pixels = static_cast<FT_UInt>(std::max(1L, std::lround(em)));
  return FT_Set_Pixel_Sizes(face, 0, pixels) == 0;
}

// One glyph as a glBitmap: rows bottom-up, one bit per pixel, byte-aligned
// rows (the caller sets an unpack alignment of 1 while compiling).
void CompileBitmapGlyph(FT_Face face, FT_UInt glyph) {
  if (FT_Load_Glyph(face, glyph, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0 ||
      face->glyph->bitmap.pixel_mode != FT_PIXEL_MODE_MONO) {
    return;
  }
  const FT_GlyphSlot slot = face->glyph;
  const FT_Bitmap& bm = slot->bitmap;
  const int width = static_cast<int>(bm.width), rows = static_cast<int>(bm.rows);
  const int rowBytes = (width + 7) / 8;
  std::vector<GLubyte> bits(static_cast<size_t>(rowBytes) * rows + 1, 0);
  for (int r = 0; r < rows; ++r) {
    const unsigned char* src = bm.buffer + static_cast<ptrdiff_t>(r) * bm.pitch;
    std::memcpy(&bits[static_cast<size_t>(rows - 1 - r) * rowBytes], src, rowBytes);
  }
  const float xorig = static_cast<float>(-slot->bitmap_left);
  const float yorig = static_cast<float>(rows - slot->bitmap_top);
  const float advance = std::round(slot->advance.x / 64.0f);
  glBitmap(width, rows, xorig, yorig, advance, 0.0f, bits.data());
}

// --- outline glyphs --------------------------------------------------------

using Point = std::array<double, 2>;
using Contour = std::vector<Point>;

struct OutlineWalk {
  std::vector<Contour> contours;
  double scale = 1.0;  // font units to em
  Point last{};

  Point ToEm(const FT_Vector* v) const { return {v->x * scale, v->y * scale}; }
};

// Curves become chords; a fixed count per curve keeps glyphs of one face alike.
constexpr int kConicSteps = 8;
constexpr int kCubicSteps = 10;

int WalkMove(const FT_Vector* to, void* user) {
  auto* w = static_cast<OutlineWalk*>(user);
  w->contours.emplace_back();
  w->last = w->ToEm(to);
  w->contours.back().push_back(w->last);
  return 0;
}
int WalkLine(const FT_Vector* to, void* user) {
  auto* w = static_cast<OutlineWalk*>(user);
  if (w->contours.empty()) return 1;
  w->last = w->ToEm(to);
  w->contours.back().push_back(w->last);
  return 0;
}
int WalkConic(const FT_Vector* control, const FT_Vector* to, void* user) {
  auto* w = static_cast<OutlineWalk*>(user);
  if (w->contours.empty()) return 1;
  const Point p0 = w->last, p1 = w->ToEm(control), p2 = w->ToEm(to);
  for (int i = 1; i <= kConicSteps; ++i) {
    double t = double(i) / kConicSteps, u = 1 - t;
    w->contours.back().push_back(
        {u * u * p0[0] + 2 * u * t * p1[0] + t * t * p2[0], u * u * p0[1] + 2 * u * t * p1[1] + t * t * p2[1]});
  }
  w->last = p2;
  return 0;
}
int WalkCubic(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto* w = static_cast<OutlineWalk*>(user);
  if (w->contours.empty()) return 1;
  const Point p0 = w->last, p1 = w->ToEm(c1), p2 = w->ToEm(c2), p3 = w->ToEm(to);
  for (int i = 1; i <= kCubicSteps; ++i) {
    double t = double(i) / kCubicSteps, u = 1 - t;
    double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    w->contours.back().push_back({a * p0[0] + b * p1[0] + c * p2[0] + d * p3[0],
                                  a * p0[1] + b * p1[1] + c * p2[1] + d * p3[1]});
  }
  w->last = p3;
  return 0;
}

// Drops repeated points and the closing point that repeats the first: the
// tessellator and the side walls both want each corner once.
void CleanContours(std::vector<Contour>& contours) {
  for (auto& c : contours) {
    Contour out;
    for (const auto& p : c)
      if (out.empty() || out.back() != p) out.push_back(p);
    while (out.size() > 1 && out.back() == out.front()) out.pop_back();
    c = std::move(out);
  }
  std::erase_if(contours, [](const Contour& c) { return c.size() < 3; });
}

// The GLU tessellator's output, gathered as plain triangles (an edge-flag
// callback makes it emit GL_TRIANGLES only).
struct TessResult {
  std::vector<Point> triangles;
  std::deque<std::array<GLdouble, 3>> created;  // vertices the combine step adds
  bool failed = false;
};

void TessBegin(GLenum, void*) {}
void TessEdgeFlag(GLboolean, void*) {}
void TessEnd(void*) {}
void TessVertex(void* vertex, void* user) {
  const auto* v = static_cast<const GLdouble*>(vertex);
  static_cast<TessResult*>(user)->triangles.push_back({v[0], v[1]});
}
void TessCombine(GLdouble coords[3], void*[4], GLfloat[4], void** out, void* user) {
  auto* r = static_cast<TessResult*>(user);
  r->created.push_back({coords[0], coords[1], coords[2]});
  *out = r->created.back().data();
}
void TessError(GLenum, void* user) { static_cast<TessResult*>(user)->failed = true; }

using TessCallback = void (*)();

bool Tessellate(const std::vector<Contour>& contours, bool evenOdd, TessResult& result) {
  GLUtesselator* tess = gluNewTess();
  if (!tess) return false;
  gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<TessCallback>(&TessBegin));
  gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<TessCallback>(&TessVertex));
  gluTessCallback(tess, GLU_TESS_END_DATA, reinterpret_cast<TessCallback>(&TessEnd));
  gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<TessCallback>(&TessEdgeFlag));
  gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<TessCallback>(&TessCombine));
  gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<TessCallback>(&TessError));
  gluTessProperty(tess, GLU_TESS_WINDING_RULE,
                  evenOdd ? GLU_TESS_WINDING_ODD : GLU_TESS_WINDING_NONZERO);
  gluTessNormal(tess, 0, 0, 1);

  std::vector<std::array<GLdouble, 3>> coords;
  size_t total = 0;
  for (const auto& c : contours) total += c.size();
  coords.reserve(total);  // the tessellator keeps pointers into this
  gluTessBeginPolygon(tess, &result);
  for (const auto& c : contours) {
    gluTessBeginContour(tess);
    for (const auto& p : c) {
      coords.push_back({p[0], p[1], 0.0});
      gluTessVertex(tess, coords.back().data(), coords.back().data());
    }
    gluTessEndContour(tess);
  }
  gluTessEndPolygon(tess);
  gluDeleteTess(tess);
  return !result.failed && result.triangles.size() % 3 == 0;
}

// Front face at z = 0, back face at z = -depth, and a wall along every
// contour edge; all faces wind counter-clockwise seen from outside.
void EmitExtrudedGlyph(const std::vector<Contour>& contours, bool clockwiseFilled,
                       const TessResult& tess) {
  const double depth = kExtrusion;
  glBegin(GL_TRIANGLES);
  glNormal3d(0, 0, 1);
  for (const auto& p : tess.triangles) glVertex3d(p[0], p[1], 0.0);
  glNormal3d(0, 0, -1);
  for (size_t i = 0; i + 2 < tess.triangles.size(); i += 3) {
    for (size_t k : {i + 2, i + 1, i}) glVertex3d(tess.triangles[k][0], tess.triangles[k][1], -depth);
  }
  glEnd();

  glBegin(GL_QUADS);
  for (const auto& c : contours) {
    for (size_t i = 0; i < c.size(); ++i) {
      Point a = c[i], b = c[(i + 1) % c.size()];
      if (!clockwiseFilled) std::swap(a, b);
      const double dx = b[0] - a[0], dy = b[1] - a[1];
      const double len = std::hypot(dx, dy);
      if (len <= 0) continue;
      glNormal3d(-dy / len, dx / len, 0.0);
      glVertex3d(a[0], a[1], 0.0);
      glVertex3d(b[0], b[1], 0.0);
      glVertex3d(b[0], b[1], -depth);
      glVertex3d(a[0], a[1], -depth);
    }
  }
  glEnd();
}

// One code's glyph as geometry, made without GL: what its list draws.
struct OutlineGlyph {
  bool loaded = false;       // an outline glyph; otherwise the list stays empty
  float advance = 0;         // em
  bool hasBox = false;       // it has contours: the box metrics below are set
  GlyphMetrics box;
  bool tessellated = false;  // the faces and walls are drawn
  bool clockwise = false;
  std::vector<Contour> contours;
  TessResult tess;
};

OutlineGlyph PrepareOutlineGlyph(FT_Face face, FT_UInt glyph) {
  OutlineGlyph g;
  if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0 ||
      face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
    return g;
  }
  g.loaded = true;
  const double em = face->units_per_EM ? double(face->units_per_EM) : 2048.0;
  FT_Outline& outline = face->glyph->outline;

  OutlineWalk walk;
  walk.scale = 1.0 / em;
  FT_Outline_Funcs funcs{};
  funcs.move_to = &WalkMove;
  funcs.line_to = &WalkLine;
  funcs.conic_to = &WalkConic;
  funcs.cubic_to = &WalkCubic;
  if (FT_Outline_Decompose(&outline, &funcs, &walk) != 0) walk.contours.clear();
  CleanContours(walk.contours);

  g.advance = static_cast<float>(face->glyph->advance.x / em);
  if (!walk.contours.empty()) {
    double minX = 1e30, minY = 1e30, maxX = -1e30, maxY = -1e30;
    for (const auto& c : walk.contours)
      for (const auto& p : c) {
        minX = std::min(minX, p[0]), maxX = std::max(maxX, p[0]);
        minY = std::min(minY, p[1]), maxY = std::max(maxY, p[1]);
      }
    g.hasBox = true;
    g.box.blackBoxWidth = static_cast<float>(maxX - minX);
    g.box.blackBoxHeight = static_cast<float>(maxY - minY);
    g.box.originX = static_cast<float>(minX);
    g.box.originY = static_cast<float>(maxY);  // the black box's upper-left corner

    g.tessellated = Tessellate(walk.contours, (outline.flags & FT_OUTLINE_EVEN_ODD_FILL) != 0, g.tess);
    g.clockwise = FT_Outline_Get_Orientation(&outline) != FT_ORIENTATION_POSTSCRIPT;
    g.contours = std::move(walk.contours);
  }
  return g;
}

// Compiles the current list for one code: its extruded glyph (when it has an
// outline) and the advance; fills the code's metrics in em units.
void CompileOutlineGlyph(const OutlineGlyph& g, GlyphMetrics& metrics) {
  if (!g.loaded) return;
  metrics.advanceX = g.advance;
  metrics.advanceY = 0;
  if (g.hasBox) {
    metrics.blackBoxWidth = g.box.blackBoxWidth;
    metrics.blackBoxHeight = g.box.blackBoxHeight;
    metrics.originX = g.box.originX;
    metrics.originY = g.box.originY;
    if (g.tessellated) EmitExtrudedGlyph(g.contours, g.clockwise, g.tess);
  }
  glTranslatef(g.advance, 0.0f, 0.0f);
}

// The title face's glyphs, made once for the process (tessellating them is most
// of a build) and again only when the font file changes. Every outline font
// reads them under the lock, which also holds a build off while another thread
// is making them.
struct OutlineGlyphSet {
  std::optional<std::vector<uint8_t>> file;  // the font file they were made from
  bool opened = false;                       // the face opened (from the file or by name)
  std::vector<OutlineGlyph> glyphs;          // codes 0 .. kOutlineBuilt - 1
};

std::mutex& OutlineLock() {
  static std::mutex& lock = *new std::mutex;
  return lock;
}

// The glyphs for the font file as it is now. Lock held.
const OutlineGlyphSet& CurrentOutlineGlyphs() {
  static OutlineGlyphSet& set = *new OutlineGlyphSet;
  static bool made = false;
  std::optional<std::vector<uint8_t>> file = ReadFileBytes(ResolvePath(kTitleFontFile), kMaxFontBytes);
  if (made && file == set.file) return set;
  set = OutlineGlyphSet();
  set.file = std::move(file);
  made = true;
  LoadedFace loaded;
  set.opened = (set.file && loaded.Open(*set.file, -1, kTitleFace)) || OpenFace(loaded, "", kTitleFace);
  if (!set.opened) return set;
  // The face's own units give em coordinates; the pixel size only matters to
  // a hinting rasteriser and is set for completeness.
  SetPixelHeight(loaded.face(), kTitleHeight);
  set.glyphs.reserve(kOutlineBuilt);
  for (int code = 0; code < kOutlineBuilt; ++code)
    set.glyphs.push_back(PrepareOutlineGlyph(loaded.face(), loaded.GlyphIndex(code)));
  return set;
}

}  // namespace

void FontRecord::BuildBitmapFont(const std::string& fontFile, const std::string& faceName,
                                 int height) {
  if (bitmapBase != 0) glDeleteLists(bitmapBase, kBitmapCount);  // built at most once
  bitmapBase = glGenLists(kBitmapCount);
  if (bitmapBase == 0) return;

  LoadedFace loaded;
  if (!OpenFace(loaded, fontFile, faceName) || !SetPixelHeight(loaded.face(), height)) return;

  // Pixel-store state is not compiled into lists: glBitmap copies its rows
  // under the unpack state at compile time.
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
  glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
  GLint unpackBuffer = 0;
  if (epoxy_gl_version() >= 21) {
    glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &unpackBuffer);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
  }
  for (int i = 0; i < kBitmapCount; ++i) {
    glNewList(bitmapBase + i, GL_COMPILE);
    CompileBitmapGlyph(loaded.face(), loaded.GlyphIndex(kBitmapFirst + i));
    glEndList();
  }
  if (unpackBuffer != 0) glBindBuffer(GL_PIXEL_UNPACK_BUFFER, static_cast<GLuint>(unpackBuffer));
  glPopClientAttrib();
}

void FontRecord::BuildOutlineFont() {
  if (outlineBase != 0) glDeleteLists(outlineBase, kOutlineCount);
  outlineBase = glGenLists(kOutlineCount);
  if (outlineBase == 0) return;

  std::lock_guard lock(OutlineLock());
  const OutlineGlyphSet& set = CurrentOutlineGlyphs();
  if (!set.opened) return;
  for (int code = 0; code < kOutlineBuilt; ++code) {
    glNewList(outlineBase + code, GL_COMPILE);
    CompileOutlineGlyph(set.glyphs[code], metrics[code]);
    glEndList();
  }
}

void FontRecord::PrepareOutlineFont() {
  std::lock_guard lock(OutlineLock());
  CurrentOutlineGlyphs();
}

void FontRecord::DeleteFontLists() {
  if (bitmapBase != 0) glDeleteLists(bitmapBase, kBitmapCount);
  if (outlineBase != 0) glDeleteLists(outlineBase, kOutlineCount);
  bitmapBase = 0;
  outlineBase = 0;
}

}  // namespace VantorGL
