// FontRecord in a real Mesa context: list layout, the extruded outline geometry
// (read back through GL feedback mode) and the bitmap glyphs' pixel sizes.
#include <epoxy/gl.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "resources/font.h"
#include "tests/support/gl_fixture.h"

namespace {

namespace fs = std::filesystem;
using VantorGL::FontRecord;

constexpr const char* kTestFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct Vertex {
  float x, y, z;
};

// Runs `list` in feedback mode under an orthographic view of [-2,2]^2 x [-1,1]
// on a 256x256 viewport and returns every polygon vertex in eye units.
std::vector<Vertex> FeedbackVertices(GLuint list, int* polygons = nullptr) {
  std::vector<GLfloat> buffer(1 << 20);
  glViewport(0, 0, 256, 256);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(-2, 2, -2, 2, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glPushAttrib(GL_ENABLE_BIT);
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
  glRenderMode(GL_FEEDBACK);
  glCallList(list);
  GLint used = glRenderMode(GL_RENDER);
  glPopAttrib();
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);

  std::vector<Vertex> out;
  if (polygons) *polygons = 0;
  auto toEye = [](const GLfloat* v) {
    // window x,y in [0,256] -> eye [-2,2]; window z in [0,1] -> eye z = 1 - 2 * zw
    return Vertex{(v[0] / 128.0f - 1.0f) * 2.0f, (v[1] / 128.0f - 1.0f) * 2.0f, 1.0f - 2.0f * v[2]};
  };
  for (GLint i = 0; i < used;) {
    const GLint token = static_cast<GLint>(buffer[i++]);
    if (token == GL_POLYGON_TOKEN) {
      const GLint n = static_cast<GLint>(buffer[i++]);
      for (GLint k = 0; k < n; ++k, i += 3) out.push_back(toEye(&buffer[i]));
      if (polygons) ++*polygons;
    } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN ||
               token == GL_DRAW_PIXEL_TOKEN || token == GL_COPY_PIXEL_TOKEN) {
      i += 3;
    } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
      i += 6;
    } else if (token == GL_PASS_THROUGH_TOKEN) {
      i += 1;
    } else {
      ADD_FAILURE() << "unexpected feedback token " << token;
      break;
    }
  }
  return out;
}

// The modelview translation a list leaves behind.
float TranslationAfter(GLuint list) {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  std::vector<GLfloat> sink(1 << 20);
  glFeedbackBuffer(static_cast<GLsizei>(sink.size()), GL_3D, sink.data());
  glRenderMode(GL_FEEDBACK);  // draw nothing; only the matrix matters
  glCallList(list);
  glRenderMode(GL_RENDER);
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  glPopMatrix();
  return m[12];
}

// A small colour target for reading back bitmap glyphs.
class PixelTarget {
 public:
  static constexpr int kSize = 128;
  PixelTarget() {
    glGenFramebuffers(1, &fbo_);
    glGenRenderbuffers(1, &rbo_);
    glBindRenderbuffer(GL_RENDERBUFFER, rbo_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kSize, kSize);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rbo_);
    glViewport(0, 0, kSize, kSize);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, kSize, 0, kSize, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
  }
  ~PixelTarget() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteRenderbuffers(1, &rbo_);
    glDeleteFramebuffers(1, &fbo_);
  }
  bool Complete() const { return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE; }

  // Clears, draws `list` at raster position (x, y) and returns the rows and
  // columns covered by lit pixels (empty when none), the lowest lit row, the
  // lit pixels in the lowest and the highest lit row, and the raster advance.
  struct Ink {
    int rows = 0, columns = 0;
    int bottom = -1, bottomWidth = 0, topWidth = 0;
    float advanceX = 0, advanceY = 0;
  };
  Ink Draw(GLuint list, int x = 20, int y = 40) {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);
    glRasterPos2i(x, y);
    glCallList(list);
    GLfloat raster[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    std::vector<GLubyte> pixels(kSize * kSize * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    int minR = kSize, maxR = -1, minC = kSize, maxC = -1;
    for (int r = 0; r < kSize; ++r)
      for (int c = 0; c < kSize; ++c)
        if (pixels[(r * kSize + c) * 4] > 0) {
          minR = std::min(minR, r), maxR = std::max(maxR, r);
          minC = std::min(minC, c), maxC = std::max(maxC, c);
        }
    Ink ink;
    if (maxR >= 0) {
      ink.rows = maxR - minR + 1, ink.columns = maxC - minC + 1;
      ink.bottom = minR;
      for (int c = 0; c < kSize; ++c) {
        ink.bottomWidth += pixels[(minR * kSize + c) * 4] > 0;
        ink.topWidth += pixels[(maxR * kSize + c) * 4] > 0;
      }
    }
    ink.advanceX = raster[0] - x;
    ink.advanceY = raster[1] - y;
    return ink;
  }

 private:
  GLuint fbo_ = 0, rbo_ = 0;
};

// Runs in a temporary working directory holding a test face as the title font.
class FontTest : public vantor_test::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    ASSERT_TRUE(fs::exists(kTestFace)) << "the DejaVu fonts are needed";
    char tmpl[] = "/tmp/vantor-font-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    previous_ = fs::current_path();
    fs::create_directories(dir_ / "Data" / "General");
    fs::copy_file(kTestFace, dir_ / "Data" / "General" / "c_font.ttf");
    fs::current_path(dir_);
  }
  void TearDown() override {
    if (!previous_.empty()) fs::current_path(previous_);
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
  void RemoveTitleFont() { fs::remove(dir_ / "Data" / "General" / "c_font.ttf"); }

  fs::path dir_, previous_;
};

TEST_F(FontTest, OutlineListsCoverCodesZeroTo254AndLeave255Empty) {
  FontRecord font;
  font.BuildOutlineFont();
  ASSERT_NE(font.outlineBase, 0u);
  EXPECT_EQ(font.bitmapBase, 0u);
  for (GLuint code = 0; code < 256; ++code) EXPECT_TRUE(glIsList(font.outlineBase + code)) << code;

  int polygons = 0;
  EXPECT_TRUE(FeedbackVertices(font.outlineBase + 255, &polygons).empty());
  EXPECT_EQ(TranslationAfter(font.outlineBase + 255), 0.0f);
  EXPECT_EQ(font.metrics[255].advanceX, 0.0f);

  // Letters have geometry and advance by their metrics; the space only advances.
  for (int code : {int('A'), int('g'), int('@'), 0xE9 /* e acute */}) {
    EXPECT_FALSE(FeedbackVertices(font.outlineBase + code).empty()) << code;
    EXPECT_GT(font.metrics[code].advanceX, 0.2f) << code;
    EXPECT_LT(font.metrics[code].advanceX, 1.5f) << code;
    EXPECT_FLOAT_EQ(TranslationAfter(font.outlineBase + code), font.metrics[code].advanceX);
  }
  EXPECT_TRUE(FeedbackVertices(font.outlineBase + ' ').empty());
  EXPECT_GT(TranslationAfter(font.outlineBase + ' '), 0.0f);
  EXPECT_EQ(font.metrics[' '].blackBoxWidth, 0.0f);
  font.DeleteFontLists();
}

TEST_F(FontTest, OutlineGlyphIsExtrudedOneFifthEmAndMatchesItsMetrics) {
  FontRecord font;
  font.BuildOutlineFont();
  ASSERT_NE(font.outlineBase, 0u);
  for (int code : {'H', 'O', 'W', 'g'}) {
    int polygons = 0;
    auto vertices = FeedbackVertices(font.outlineBase + code, &polygons);
    ASSERT_FALSE(vertices.empty()) << code;
    float minZ = 1e9f, maxZ = -1e9f, minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (const auto& v : vertices) {
      minZ = std::min(minZ, v.z), maxZ = std::max(maxZ, v.z);
      minX = std::min(minX, v.x), maxX = std::max(maxX, v.x);
      minY = std::min(minY, v.y), maxY = std::max(maxY, v.y);
    }
    EXPECT_NEAR(maxZ, 0.0f, 1e-4f) << code;    // front face at z = 0
    EXPECT_NEAR(minZ, -0.2f, 1e-4f) << code;   // extruded along negative z
    const auto& m = font.metrics[code];
    EXPECT_NEAR(maxX - minX, m.blackBoxWidth, 1e-3f) << code;
    EXPECT_NEAR(maxY - minY, m.blackBoxHeight, 1e-3f) << code;
    EXPECT_NEAR(minX, m.originX, 1e-3f) << code;
    EXPECT_NEAR(maxY, m.originY, 1e-3f) << code;
    // Front and back faces plus a wall per edge: more than the faces alone.
    EXPECT_GT(polygons, 8) << code;
  }
  // A capital of a regular sans face stands about 0.7 em high.
  EXPECT_GT(font.metrics['H'].blackBoxHeight, 0.6f);
  EXPECT_LT(font.metrics['H'].blackBoxHeight, 0.85f);
  font.DeleteFontLists();
}

TEST_F(FontTest, BitmapListsCoverCodes32To127UprightAtTheAskedHeight) {
  FontRecord font;
  font.BuildBitmapFont("Data/General/c_font.ttf", "Action Force Normal", -24);
  ASSERT_NE(font.bitmapBase, 0u);
  EXPECT_EQ(font.outlineBase, 0u);
  for (GLuint i = 0; i < 96; ++i) EXPECT_TRUE(glIsList(font.bitmapBase + i)) << i;
  EXPECT_FALSE(glIsList(font.bitmapBase + 96));  // no list for code 128

  PixelTarget target;
  ASSERT_TRUE(target.Complete());
  // DejaVu's vertical bar runs from the descender to the ascender: one em.
  auto bar = target.Draw(font.bitmapBase + ('|' - 32));
  EXPECT_NEAR(bar.rows, 24, 2);
  auto letter = target.Draw(font.bitmapBase + ('A' - 32));
  EXPECT_GT(letter.rows, 12);
  EXPECT_LT(letter.rows, 24);
  EXPECT_EQ(letter.bottom, 40) << "a capital stands on the baseline, at the raster position";
  // Upright: the T's bar at the top (about 14 pixels at 24), its stem at the foot (2 or 3).
  auto tee = target.Draw(font.bitmapBase + ('T' - 32));
  EXPECT_EQ(tee.bottom, 40);
  EXPECT_GT(tee.topWidth, 10);
  EXPECT_LT(tee.bottomWidth, 5);
  EXPECT_LT(target.Draw(font.bitmapBase + ('p' - 32)).bottom, 40) << "a descender reaches below the baseline";
  EXPECT_GT(letter.advanceX, 10.0f);  // the raster position moves on by the advance
  EXPECT_LT(letter.advanceX, 24.0f);
  EXPECT_EQ(letter.advanceY, 0.0f);
  auto space = target.Draw(font.bitmapBase);
  EXPECT_EQ(space.rows, 0);
  EXPECT_GT(space.advanceX, 4.0f);

  // Twice the height, twice the glyph.
  FontRecord large;
  large.BuildBitmapFont("Data/General/c_font.ttf", "Action Force Normal", -48);
  auto largeBar = target.Draw(large.bitmapBase + ('|' - 32));
  EXPECT_NEAR(largeBar.rows, 2 * bar.rows, 2);
  // A positive height asks for the cell (ascent + descent), which is more than the em.
  FontRecord cell;
  cell.BuildBitmapFont("Data/General/c_font.ttf", "Action Force Normal", 24);
  EXPECT_LT(target.Draw(cell.bitmapBase + ('|' - 32)).rows, bar.rows);
  font.DeleteFontLists();
  large.DeleteFontLists();
  cell.DeleteFontLists();
}

TEST_F(FontTest, SystemFaceIsFoundByNameAndMissingFacesLeaveEmptyLists) {
  PixelTarget target;
  ASSERT_TRUE(target.Complete());
  FontRecord arial;
  arial.BuildBitmapFont("", "Arial", -16);
  ASSERT_NE(arial.bitmapBase, 0u);
  auto ink = target.Draw(arial.bitmapBase + ('A' - 32));
  EXPECT_GT(ink.rows, 8);
  EXPECT_LE(ink.rows, 16);

  FontRecord unknown;
  unknown.BuildBitmapFont("", "No Such Face Anywhere", -16);
  ASSERT_NE(unknown.bitmapBase, 0u);
  auto none = target.Draw(unknown.bitmapBase + ('A' - 32));
  EXPECT_EQ(none.rows, 0);
  EXPECT_EQ(none.advanceX, 0.0f);

  RemoveTitleFont();
  FontRecord noFile;
  noFile.BuildBitmapFont("Data/General/c_font.ttf", "Action Force Normal", -24);
  EXPECT_EQ(target.Draw(noFile.bitmapBase + ('A' - 32)).rows, 0);
  FontRecord noOutline;
  noOutline.BuildOutlineFont();
  ASSERT_NE(noOutline.outlineBase, 0u);
  EXPECT_TRUE(FeedbackVertices(noOutline.outlineBase + 'A').empty());
  EXPECT_EQ(TranslationAfter(noOutline.outlineBase + 'A'), 0.0f);
  EXPECT_EQ(noOutline.metrics['A'].advanceX, 0.0f);

  for (FontRecord* f : {&arial, &unknown, &noFile, &noOutline}) f->DeleteFontLists();
}

// The glyphs may be made ahead on another thread and are kept for later builds,
// but a build always follows the font file as it is now.
TEST_F(FontTest, OutlinesMadeAheadOnAnotherThreadFollowTheFontFile) {
  FontRecord sans;
  sans.BuildOutlineFont();
  const std::vector<Vertex> sansA = FeedbackVertices(sans.outlineBase + 'A');
  ASSERT_FALSE(sansA.empty());

  const fs::path title = dir_ / "Data" / "General" / "c_font.ttf";
  fs::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", title,
                fs::copy_options::overwrite_existing);
  std::thread(&FontRecord::PrepareOutlineFont).join();
  FontRecord bold;
  bold.BuildOutlineFont();
  EXPECT_GT(bold.metrics['A'].advanceX, sans.metrics['A'].advanceX) << "the bold face's, made on the thread";

  fs::copy_file(kTestFace, title, fs::copy_options::overwrite_existing);
  FontRecord again;
  again.BuildOutlineFont();
  const std::vector<Vertex> againA = FeedbackVertices(again.outlineBase + 'A');
  ASSERT_EQ(againA.size(), sansA.size());
  for (size_t i = 0; i < sansA.size(); ++i)
    EXPECT_TRUE(againA[i].x == sansA[i].x && againA[i].y == sansA[i].y && againA[i].z == sansA[i].z) << i;
  for (int code = 0; code < 256; ++code)
    EXPECT_EQ(again.metrics[code].advanceX, sans.metrics[code].advanceX) << code;
  for (FontRecord* f : {&sans, &bold, &again}) f->DeleteFontLists();
}

TEST_F(FontTest, DeletingNeverTouchesAnotherRecordsLists) {
  FontRecord built, unbuilt;
  built.BuildOutlineFont();
  built.BuildBitmapFont("", "Arial", -16);
  ASSERT_NE(built.outlineBase, 0u);
  unbuilt.DeleteFontLists();
  EXPECT_TRUE(glIsList(built.outlineBase));
  EXPECT_TRUE(glIsList(built.bitmapBase));

  const GLuint outline = built.outlineBase, bitmap = built.bitmapBase;
  built.DeleteFontLists();
  EXPECT_EQ(built.outlineBase, 0u);
  EXPECT_EQ(built.bitmapBase, 0u);
  EXPECT_FALSE(glIsList(outline));
  EXPECT_FALSE(glIsList(outline + 255));
  EXPECT_FALSE(glIsList(bitmap + 95));
  built.DeleteFontLists();  // a second delete is harmless
}

}  // namespace
