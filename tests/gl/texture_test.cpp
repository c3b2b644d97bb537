// cTextureSystem on a real context: what the texture holds (read back with
// glGetTexImage), which path a name takes, the size rules, and that every failure
// leaves the name alone.
#include <epoxy/gl.h>
#include <unistd.h>

#include <filesystem>

#include "platform/gl_extensions.h"
#include "resources/texture_system.h"
#include "tests/support/gl_fixture.h"
#include "tests/support/image_files.h"

using namespace VantorGL;
using vantor_test::EncodeBmp;
using vantor_test::EncodeJpegFile;
using vantor_test::EncodePng;
using vantor_test::RgbaPicture;
using vantor_test::WriteBytes;
namespace fs = std::filesystem;

namespace {

struct TexInfo {
  GLint width = 0, height = 0, internalFormat = 0;
  std::vector<uint8_t> rgba;  // level 0 as RGBA, row 0 first
  const uint8_t* at(int x, int y) const { return rgba.data() + (static_cast<size_t>(y) * width + x) * 4; }
};

TexInfo ReadBack(GLuint name) {
  TexInfo t;
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &t.width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &t.height);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &t.internalFormat);
  t.rgba.resize(static_cast<size_t>(t.width) * t.height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, t.rgba.data());
  return t;
}

GLint Param(GLuint name, GLenum param) {
  GLint v = 0;
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexParameteriv(GL_TEXTURE_2D, param, &v);
  return v;
}

GLint Bound() {
  GLint v = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &v);
  return v;
}

// Top half red, bottom half blue: which row comes first is plain to see.
RgbaPicture TopRedBottomBlue(int w, int h) {
  RgbaPicture p(w, h);
  p.Fill(0, 0, w, h / 2, 255, 0, 0);
  p.Fill(0, h / 2, w, h, 0, 0, 255);
  return p;
}

bool Near(const uint8_t* px, int r, int g, int b, int tolerance = 24) {
  return std::abs(px[0] - r) <= tolerance && std::abs(px[1] - g) <= tolerance && std::abs(px[2] - b) <= tolerance;
}

// Each test runs in a fresh working directory of its own.
class TextureTest : public vantor_test::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    old_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("vantor_tex_" + std::to_string(getpid()) + "_" +
                                        testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
  }
  void TearDown() override {
    platform::LimitMaxTextureSize(0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  fs::path old_, dir_;
};

}  // namespace

TEST_F(TextureTest, PngKeepsFileRowOrderAndPictureIsBottomUpSoTheyMirror) {
  const RgbaPicture p = TopRedBottomBlue(64, 64);
  WriteBytes("pic.png", EncodePng(p, {2, 8, false, false}));
  WriteBytes("pic.jpg", EncodeJpegFile(p));

  cTextureSystem png, jpeg;
  ASSERT_TRUE(png.Load("pic.png"));
  EXPECT_EQ(Bound(), static_cast<GLint>(png.texture)) << "the new texture is left bound";
  ASSERT_TRUE(jpeg.Load("pic.jpg"));
  EXPECT_NE(png.texture, jpeg.texture);

  const TexInfo a = ReadBack(png.texture), b = ReadBack(jpeg.texture);
  ASSERT_EQ(a.width, 64);
  ASSERT_EQ(b.width, 64);
  EXPECT_TRUE(Near(a.at(10, 0), 255, 0, 0, 0)) << "PNG row 0 is the file's top row";
  EXPECT_TRUE(Near(a.at(10, 63), 0, 0, 255, 0));
  EXPECT_TRUE(Near(b.at(10, 0), 0, 0, 255)) << "picture row 0 is the bottom row";
  EXPECT_TRUE(Near(b.at(10, 63), 255, 0, 0));
  EXPECT_EQ(a.internalFormat, GL_RGB);
  EXPECT_EQ(b.internalFormat, GL_RGBA);
}

TEST_F(TextureTest, DotPngAnywhereCaseSensitivelyChoosesThePngPath) {
  const RgbaPicture p = TopRedBottomBlue(8, 8);
  const auto bytes = EncodePng(p, {2, 8, false, false});
  WriteBytes("sky.png.bak", bytes);
  WriteBytes("SKY.PNG", bytes);

  cTextureSystem bak, upper;
  ASSERT_TRUE(bak.Load("sky.png.bak"));
  ASSERT_TRUE(upper.Load("SKY.PNG"));
  const TexInfo a = ReadBack(bak.texture), b = ReadBack(upper.texture);
  EXPECT_EQ(a.internalFormat, GL_RGB);
  EXPECT_EQ(Param(bak.texture, GL_TEXTURE_WRAP_S), GL_CLAMP);
  EXPECT_TRUE(Near(a.at(0, 0), 255, 0, 0, 0));
  EXPECT_EQ(b.internalFormat, GL_RGBA) << "SKY.PNG goes to the picture decoder";
  EXPECT_EQ(Param(upper.texture, GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_TRUE(Near(b.at(0, 0), 0, 0, 255, 0));
}

TEST_F(TextureTest, PicturePathMakesPureBlackTransparent) {
  RgbaPicture p(2, 2);
  p.Set(0, 0, 0, 0, 0);
  p.Set(1, 0, 0, 0, 1);
  p.Set(0, 1, 255, 255, 255);
  p.Set(1, 1, 9, 8, 7);
  WriteBytes("alpha.bmp", EncodeBmp(p));
  cTextureSystem t;
  ASSERT_TRUE(t.Load("alpha.bmp"));
  const TexInfo info = ReadBack(t.texture);
  ASSERT_EQ(info.width, 2);
  ASSERT_EQ(info.height, 2);
  // Row 1 of the texture is the picture's top row.
  EXPECT_EQ(std::vector<uint8_t>(info.at(0, 1), info.at(0, 1) + 8), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 1, 255}));
  EXPECT_EQ(std::vector<uint8_t>(info.at(0, 0), info.at(0, 0) + 8),
            (std::vector<uint8_t>{255, 255, 255, 255, 9, 8, 7, 255}));
  EXPECT_EQ(Param(t.texture, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
  EXPECT_EQ(Param(t.texture, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
}

TEST_F(TextureTest, SizeRulesOfBothPaths) {
  WriteBytes("frame.jpg", EncodeJpegFile(vantor_test::PatternPicture(800, 600, false, 3)));
  cTextureSystem jpeg;
  ASSERT_TRUE(jpeg.Load("frame.jpg"));
  TexInfo info = ReadBack(jpeg.texture);
  EXPECT_EQ(info.width, 1024);
  EXPECT_EQ(info.height, 512);

  RgbaPicture odd = TopRedBottomBlue(100, 60);
  odd.Set(0, 0, 0, 255, 0, 128);
  WriteBytes("odd.png", EncodePng(odd));
  cTextureSystem png;
  ASSERT_TRUE(png.Load("odd.png"));
  info = ReadBack(png.texture);
  EXPECT_EQ(info.width, 128);
  EXPECT_EQ(info.height, 64);
  EXPECT_EQ(info.internalFormat, GL_RGBA);
  EXPECT_EQ(info.at(0, 0)[3], 128) << "the file's alpha is kept";
  EXPECT_EQ(Param(png.texture, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
  EXPECT_EQ(Param(png.texture, GL_TEXTURE_WRAP_T), GL_CLAMP);
}

TEST_F(TextureTest, SidesAboveTheMaximumAreCapped) {
  platform::LimitMaxTextureSize(64);
  WriteBytes("wide.bmp", EncodeBmp(TopRedBottomBlue(256, 16)));
  WriteBytes("wide.png", EncodePng(TopRedBottomBlue(256, 16)));
  cTextureSystem picture, png;
  ASSERT_TRUE(picture.Load("wide.bmp"));
  ASSERT_TRUE(png.Load("wide.png"));
  for (GLuint name : {picture.texture, png.texture}) {
    const TexInfo info = ReadBack(name);
    EXPECT_EQ(info.width, 64);
    EXPECT_EQ(info.height, 16);
  }
}

TEST_F(TextureTest, LoadingTwiceMakesASecondTextureAndKeepsTheFirst) {
  WriteBytes("a.png", EncodePng(TopRedBottomBlue(4, 4)));
  cTextureSystem t;
  ASSERT_TRUE(t.Load("a.png"));
  const GLuint first = t.texture;
  ASSERT_TRUE(t.Load("a.png"));
  EXPECT_NE(t.texture, first);
  EXPECT_TRUE(glIsTexture(first));
}

TEST_F(TextureTest, FailuresLeaveTheNameAndTheProgramGoing) {
  const auto png = EncodePng(vantor_test::PatternPicture(32, 32, true, 2));
  const auto jpeg = EncodeJpegFile(vantor_test::PatternPicture(32, 32, false, 2));
  WriteBytes("empty.png", {});
  WriteBytes("empty.jpg", {});
  WriteBytes("cut.png", std::vector<uint8_t>(png.begin(), png.begin() + png.size() / 2));
  WriteBytes("cut.jpg", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + jpeg.size() / 2));
  std::vector<uint8_t> crc = png;
  crc[29] ^= 1;  // the header's checksum
  WriteBytes("crc.png", crc);
  std::vector<uint8_t> huge = png;
  huge[16] = huge[20] = 0x7F;  // about 2 billion pixels a side
  WriteBytes("huge.png", huge);
  WriteBytes("text.jpg", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
  WriteBytes("image.png.jpg", jpeg);  // ".png" in the name: the PNG reader refuses a JPEG

  const std::string longName = std::string(300, 'x') + ".jpg";
  const char* names[] = {"missing.png", "missing.jpg", "empty.png", "empty.jpg",  "cut.png",
                         "cut.jpg",     "crc.png",     "huge.png",  "text.jpg",   "image.png.jpg",
                         "http://example.invalid/a.png", "http://example.invalid/a.jpg", longName.c_str(), "."};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    cTextureSystem fresh;
    glDisable(GL_TEXTURE_2D);
    EXPECT_FALSE(fresh.Load(name));
    EXPECT_EQ(fresh.texture, 0u);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D)) << "enabled whether or not the load succeeds";

    cTextureSystem loaded;
    loaded.texture = 4242;
    EXPECT_FALSE(loaded.Load(name));
    EXPECT_EQ(loaded.texture, 4242u);
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureTest, PicturePathsBeyondTheBufferFailEvenWhenTheFileExists) {
  const auto jpeg = EncodeJpegFile(TopRedBottomBlue(4, 4));
  const std::string cwd = fs::current_path().string();
  // Working directory + "/" + name must fit 259 characters and the terminator.
  const std::string fits = std::string(252 - cwd.size(), 'a') + "/p.jpg";
  const std::string over = std::string(253 - cwd.size(), 'b') + "/p.jpg";
  ASSERT_EQ(cwd.size() + 1 + fits.size(), 259u);
  ASSERT_EQ(cwd.size() + 1 + over.size(), 260u);
  WriteBytes(fits, jpeg);
  WriteBytes(over, jpeg);
  cTextureSystem a, b;
  EXPECT_TRUE(a.Load(fits));
  EXPECT_FALSE(b.Load(over));
  EXPECT_EQ(b.texture, 0u);
}

TEST_F(TextureTest, NamesAreFoundWithoutRegardToCaseOrSeparator) {
  const auto png = EncodePng(TopRedBottomBlue(4, 4));
  WriteBytes("data/General/x.png", png);
  WriteBytes("data/General/loading.jpg", EncodeJpegFile(TopRedBottomBlue(4, 4)));
  for (const char* name : {"data/General/x.png", "Data/General/X.png", "Data\\General\\x.png",
                           "DATA/general/Loading.JPG", "Data\\General\\loading.jpg"}) {
    cTextureSystem t;
    EXPECT_TRUE(t.Load(name)) << name;
    EXPECT_NE(t.texture, 0u) << name;
  }
  for (const char* name : {"Data/General/y.png", "Data/Special/x.png", "data/General/x.png/z.png"}) {
    cTextureSystem t;
    EXPECT_FALSE(t.Load(name)) << name;
  }
}

TEST_F(TextureTest, WrapAndBindOperations) {
  WriteBytes("w.jpg", EncodeJpegFile(TopRedBottomBlue(4, 4)));
  cTextureSystem t;
  ASSERT_TRUE(t.Load("w.jpg"));
  t.SetClamp();
  EXPECT_EQ(Bound(), static_cast<GLint>(t.texture));
  EXPECT_EQ(Param(t.texture, GL_TEXTURE_WRAP_S), GL_CLAMP);
  EXPECT_EQ(Param(t.texture, GL_TEXTURE_WRAP_T), GL_CLAMP);
  t.Unbind();
  EXPECT_EQ(Bound(), 0);
  t.SetRepeat();
  EXPECT_EQ(Bound(), static_cast<GLint>(t.texture));
  EXPECT_EQ(Param(t.texture, GL_TEXTURE_WRAP_T), GL_REPEAT);
  t.Unbind();
  t.Bind();
  EXPECT_EQ(Bound(), static_cast<GLint>(t.texture));
  cTextureSystem copy = t;  // copies share the texture
  copy.Unbind();
  copy.Bind();
  EXPECT_EQ(Bound(), static_cast<GLint>(t.texture));
}
