// The CPU side of texture loading: PNG variants, picture headers, size rules, the
// stretch and the picture path's rows and alpha.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

#include "platform/image_decode.h"
#include "resources/texture_images.h"
#include "tests/support/image_files.h"

using namespace VantorGL;
using vantor_test::EncodeBmp;
using vantor_test::EncodeJpegFile;
using vantor_test::EncodePng;
using vantor_test::PngOptions;
using vantor_test::RgbaPicture;

namespace {

// 13 x 7: odd sizes catch row-stride mistakes; every pixel differs.
RgbaPicture Sample(bool alpha) {
  RgbaPicture p(13, 7);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      p.Set(x, y, static_cast<uint8_t>(x * 19), static_cast<uint8_t>(y * 36), static_cast<uint8_t>(200 - x * 7),
            alpha ? static_cast<uint8_t>(x * 20 + y) : 255);
  return p;
}

std::optional<TextureImage> Decode(const std::vector<uint8_t>& bytes) { return DecodePng(bytes.data(), bytes.size()); }

}  // namespace

TEST(TextureSides, PngRuleGrowsToNextPowerAndCapsAtMaximum) {
  EXPECT_EQ(PngTextureSide(1, 2048), 1);
  EXPECT_EQ(PngTextureSide(255, 2048), 256);
  EXPECT_EQ(PngTextureSide(512, 2048), 512);
  EXPECT_EQ(PngTextureSide(513, 2048), 1024);
  EXPECT_EQ(PngTextureSide(768, 2048), 1024);
  EXPECT_EQ(PngTextureSide(2049, 2048), 2048);
  EXPECT_EQ(PngTextureSide(4096, 2048), 2048);
}

TEST(TextureSides, PictureRuleTakesNearestPowerOnLogScale) {
  EXPECT_EQ(PictureTextureSide(724, 4096), 512);
  EXPECT_EQ(PictureTextureSide(725, 4096), 1024);
  EXPECT_EQ(PictureTextureSide(768, 4096), 1024);
  EXPECT_EQ(PictureTextureSide(800, 4096), 1024);
  EXPECT_EQ(PictureTextureSide(600, 4096), 512);
  EXPECT_EQ(PictureTextureSide(300, 4096), 256);
  EXPECT_EQ(PictureTextureSide(1, 4096), 1);
  EXPECT_EQ(PictureTextureSide(4096, 2048), 2048);
  EXPECT_EQ(PictureTextureSide(2000, 3000), 2048);
  EXPECT_EQ(PictureTextureSide(2900, 3000), 3000) << "never above the maximum";
}

TEST(PngDecoding, EveryColourTypeAndDepthExpandsToEightBitRgbOrRgba) {
  const RgbaPicture rgba = Sample(true);
  struct Case {
    PngOptions options;
    int channels;
  };
  const Case cases[] = {
      {{6, 8, false, false}, 4},  {{6, 16, false, false}, 4}, {{2, 8, false, false}, 3},
      {{2, 16, false, false}, 3}, {{6, 8, true, false}, 4},   {{2, 8, true, false}, 3},
      {{6, 16, true, false}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.options.colorType << " depth " << c.options.bitDepth
                                    << " interlaced " << c.options.interlaced);
    const auto image = Decode(EncodePng(rgba, c.options));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->channels, c.channels);
    ASSERT_EQ(image->width, 13);
    ASSERT_EQ(image->height, 7);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 13; ++x)
        for (int k = 0; k < c.channels; ++k)
          ASSERT_EQ(image->pixels[(y * 13 + x) * c.channels + k], rgba.rgba[(y * 13 + x) * 4 + k])
              << x << "," << y << " channel " << k;
  }
}

TEST(PngDecoding, GreyAndPaletteFilesBecomeRgbWithAlphaOnlyWhereTheFileHasIt) {
  RgbaPicture p(4, 2);
  const uint8_t greys[8] = {0, 255, 85, 170, 0, 255, 170, 85};  // exact in 2-bit grey
  for (int i = 0; i < 8; ++i) p.Set(i % 4, i / 4, greys[i], 0, 0, i == 3 ? 0 : 255);

  for (int depth : {2, 8, 16}) {
    const auto grey = Decode(EncodePng(p, {0, depth, false, false}));
    ASSERT_TRUE(grey) << depth;
    EXPECT_EQ(grey->channels, 3);
    for (int i = 0; i < 8; ++i)
      for (int k = 0; k < 3; ++k) EXPECT_EQ(grey->pixels[i * 3 + k], greys[i]) << "depth " << depth;
  }
  const auto greyAlpha = Decode(EncodePng(p, {4, 8, false, false}));
  ASSERT_TRUE(greyAlpha);
  EXPECT_EQ(greyAlpha->channels, 4);
  EXPECT_EQ(greyAlpha->pixels[3 * 4 + 3], 0);
  EXPECT_EQ(greyAlpha->pixels[2 * 4 + 0], 85);
  EXPECT_EQ(greyAlpha->pixels[2 * 4 + 1], 85);

  // Palette: plain stays RGB, with a transparency chunk it becomes RGBA.
  for (int depth : {4, 8}) {
    const auto plain = Decode(EncodePng(p, {3, depth, false, false}));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->channels, 3);
    EXPECT_EQ(plain->pixels[2 * 3], 85);
    const auto keyed = Decode(EncodePng(p, {3, depth, true, true}));
    ASSERT_TRUE(keyed);
    EXPECT_EQ(keyed->channels, 4);
    EXPECT_EQ(keyed->pixels[3 * 4 + 3], 0);
    EXPECT_EQ(keyed->pixels[2 * 4 + 3], 255);
    EXPECT_EQ(keyed->pixels[6 * 4 + 0], 170);
  }
}

TEST(PngDecoding, BrokenFilesAreRefused) {
  const std::vector<uint8_t> good = EncodePng(Sample(false), {2, 8, false, false});
  ASSERT_TRUE(Decode(good));

  EXPECT_FALSE(DecodePng(nullptr, 0));
  EXPECT_FALSE(Decode({}));
  for (size_t cut : {size_t{7}, size_t{20}, size_t{40}, good.size() / 2, good.size() - 1})
    EXPECT_FALSE(Decode(std::vector<uint8_t>(good.begin(), good.begin() + cut))) << "cut at " << cut;

  // A wrong checksum on the image data.
  std::vector<uint8_t> crc = good;
  for (size_t i = 8; i + 8 < crc.size(); ++i)
    if (std::equal(crc.begin() + i, crc.begin() + i + 4, "IDAT")) {
      const uint32_t length = crc[i - 4] << 24 | crc[i - 3] << 16 | crc[i - 2] << 8 | crc[i - 1];
      crc[i + 4 + length] ^= 0x55;
      break;
    }
  EXPECT_FALSE(Decode(crc));

  // A header declaring 60000 x 60000 RGBA pixels in a few hundred bytes: refused
  // before any allocation for it.
  RgbaPicture tiny(1, 1);
  std::vector<uint8_t> huge = EncodePng(tiny, {6, 8, false, false});
  const uint8_t side[4] = {0, 0, 0xEA, 0x60};
  std::copy(side, side + 4, huge.begin() + 16);
  std::copy(side, side + 4, huge.begin() + 20);
  EXPECT_FALSE(Decode(huge));
  // A text chunk declaring 1.5 GB after the header, in a file of a few hundred bytes.
  std::vector<uint8_t> text(good.begin(), good.begin() + 33);
  const uint8_t chunk[] = {0x60, 0, 0, 0x25, 't', 'E', 'X', 't', 'k', 0, 'v'};
  text.insert(text.end(), chunk, chunk + sizeof chunk);
  text.insert(text.end(), good.begin() + 33, good.end());
  EXPECT_FALSE(Decode(text));
  // A zero-sized header.
  std::vector<uint8_t> zero = EncodePng(tiny, {6, 8, false, false});
  std::fill(zero.begin() + 16, zero.begin() + 20, 0);
  EXPECT_FALSE(Decode(zero));
}

// Pictures like the show's slides: the data in many IDAT chunks, the rows under
// each filter type alone. Each pixel comes back as written; a damaged chunk
// anywhere still means no picture.
TEST(PngDecoding, LargePicturesComeBackExactlyAndDamageAnywhereIsRefused) {
  // PNG_FILTER_NONE, SUB, UP, AVG, PAETH.
  for (const int filter : {0x08, 0x10, 0x20, 0x40, 0x80}) {
    for (const bool alpha : {true, false}) {
      SCOPED_TRACE(testing::Message() << (alpha ? "RGBA" : "RGB") << " filter flag " << filter);
      const RgbaPicture picture = vantor_test::PatternPicture(601, 403, alpha, 3);
      const std::vector<uint8_t> file = EncodePng(picture, {alpha ? 6 : 2, 8, false, false, filter});
      const auto image = Decode(file);
      ASSERT_TRUE(image);
      ASSERT_EQ(image->width, 601);
      ASSERT_EQ(image->height, 403);
      const int channels = alpha ? 4 : 3;
      ASSERT_EQ(image->channels, channels);
      for (size_t i = 0, n = size_t{601} * 403; i < n; ++i)
        for (int k = 0; k < channels; ++k)
          ASSERT_EQ(image->pixels[i * channels + k], picture.rgba[i * 4 + k]) << "pixel " << i << " channel " << k;

      // The third IDAT's data, then its checksum, damaged.
      std::vector<size_t> idats;
      for (size_t i = 12; i + 4 <= file.size(); ++i)
        if (std::equal(file.begin() + i, file.begin() + i + 4, "IDAT")) idats.push_back(i);
      ASSERT_GE(idats.size(), 3u);
      const size_t at = idats[2];
      const uint32_t length = file[at - 4] << 24 | file[at - 3] << 16 | file[at - 2] << 8 | file[at - 1];
      for (const size_t offset : {size_t{4} + length / 2, size_t{4} + length}) {
        std::vector<uint8_t> damaged = file;
        damaged[at + offset] ^= 0x21;
        EXPECT_FALSE(Decode(damaged)) << "byte " << offset << " of the third IDAT";
      }
    }
  }
}

TEST(PictureDecoding, JpegBmpAndPngDecodeOthersAreRefused) {
  const RgbaPicture p = Sample(false);
  const auto bmp = EncodeBmp(p);
  const auto fromBmp = DecodePictureFile(bmp.data(), bmp.size());
  ASSERT_TRUE(fromBmp);
  EXPECT_EQ(fromBmp->width, 13);
  EXPECT_EQ(fromBmp->height, 7);
  const int ch = fromBmp->channels;
  EXPECT_EQ(fromBmp->pixels[(2 * 13 + 5) * ch + 0], p.rgba[(2 * 13 + 5) * 4 + 0]);
  EXPECT_EQ(fromBmp->pixels[(2 * 13 + 5) * ch + 2], p.rgba[(2 * 13 + 5) * 4 + 2]);

  const auto jpeg = EncodeJpegFile(p);
  ASSERT_FALSE(jpeg.empty());
  EXPECT_TRUE(DecodePictureFile(jpeg.data(), jpeg.size()));
  const auto png = EncodePng(p);
  EXPECT_TRUE(DecodePictureFile(png.data(), png.size()));

  const std::vector<uint8_t> text = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0};
  EXPECT_FALSE(DecodePictureFile(text.data(), text.size()));
  EXPECT_FALSE(DecodePictureFile(nullptr, 0));
}

// Memory running out while the encoder's output grows gives no picture, and
// nothing freed twice on the way out.
TEST(JpegEncodingDeathTest, MemoryRunningOutHalfWayGivesNothing) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's allocator reports a failed allocation instead of failing it";
#endif
  // Noise: about as large encoded as raw, so the output grows many times.
  constexpr int kSide = 2048;
  std::vector<uint8_t> noise(size_t{kSide} * kSide * 3);
  uint32_t state = 12345;
  for (uint8_t& b : noise) b = static_cast<uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
  ASSERT_GT(platform::EncodeJpeg(noise.data(), kSide, kSide, 3, 100).size(), size_t{2} << 20);
  EXPECT_EXIT(
      {
        // 2 MiB more address space than the process holds now.
        long pages = 0;
        std::FILE* statm = std::fopen("/proc/self/statm", "r");
        if (!statm || std::fscanf(statm, "%ld", &pages) != 1) std::_Exit(3);
        std::fclose(statm);
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (2u << 20);
        if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(4);
        std::_Exit(platform::EncodeJpeg(noise.data(), kSide, kSide, 3, 100).empty() ? 0 : 5);
      },
      ::testing::ExitedWithCode(0), "");
}

// A file still being written is a whole file cut short: libjpeg only warns at
// the end of its data and fills the rest with grey.
TEST(PictureDecoding, TruncatedPicturesAndHugeDeclaredSizesAreRefused) {
  const auto jpeg = EncodeJpegFile(vantor_test::PatternPicture(64, 48, false, 1));
  for (size_t cut : {size_t{3}, size_t{100}, jpeg.size() / 2, jpeg.size() - 2, jpeg.size() - 1})
    EXPECT_FALSE(DecodePictureFile(jpeg.data(), cut)) << "cut at " << cut;
  // An end-of-image pair of bytes inside a comment after the frame header is no
  // end of the picture.
  std::vector<uint8_t> commented = jpeg;
  size_t frame = 2;
  while (frame + 4 < commented.size() && !(commented[frame] == 0xFF && commented[frame + 1] == 0xC0))
    frame += 2 + (commented[frame + 2] << 8 | commented[frame + 3]);
  ASSERT_LT(frame + 4, commented.size()) << "no baseline frame header";
  const size_t afterFrame = frame + 2 + (commented[frame + 2] << 8 | commented[frame + 3]);
  const uint8_t comment[] = {0xFF, 0xFE, 0x00, 0x04, 0xFF, 0xD9};
  commented.insert(commented.begin() + afterFrame, std::begin(comment), std::end(comment));
  ASSERT_TRUE(DecodePictureFile(commented.data(), commented.size()));
  EXPECT_FALSE(DecodePictureFile(commented.data(), (afterFrame + commented.size()) / 2));
  const auto bmp24 = EncodeBmp(vantor_test::PatternPicture(13, 7, false, 1));
  for (size_t cut : {size_t{30}, bmp24.size() / 2, bmp24.size() - 1})
    EXPECT_FALSE(DecodePictureFile(bmp24.data(), cut)) << "BMP cut at " << cut;

  // The frame header's size raised to 65000 x 65000.
  std::vector<uint8_t> huge = jpeg;
  for (size_t i = 2; i + 9 < huge.size(); ++i)
    if (huge[i] == 0xFF && huge[i + 1] >= 0xC0 && huge[i + 1] <= 0xC2) {
      huge[i + 5] = 0xFD;
      huge[i + 6] = 0xE8;
      huge[i + 7] = 0xFD;
      huge[i + 8] = 0xE8;
      break;
    }
  EXPECT_FALSE(DecodePictureFile(huge.data(), huge.size()));

  std::vector<uint8_t> bmp = EncodeBmp(RgbaPicture(2, 2));
  bmp[18] = 0xFF, bmp[19] = 0xFF, bmp[22] = 0xFF, bmp[23] = 0xFF;  // 65535 x 65535
  EXPECT_FALSE(DecodePictureFile(bmp.data(), bmp.size()));
}

TEST(PictureTexture, BottomRowFirstBlackTransparentEveryOtherColourOpaque) {
  RgbaPicture p(2, 2);
  p.Set(0, 0, 0, 0, 0);
  p.Set(1, 0, 0, 0, 1);
  p.Set(0, 1, 200, 100, 50);
  p.Set(1, 1, 1, 0, 0);
  const auto bmp = EncodeBmp(p);
  const auto image = PreparePictureTexture(bmp.data(), bmp.size(), 1024);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->channels, 4);
  const std::vector<uint8_t> expected = {200, 100, 50, 255, 1, 0, 0, 255,  // picture's bottom row
                                         0,   0,   0,  0,   0, 0, 1, 255};
  EXPECT_EQ(image->pixels, expected);
}

TEST(PictureTexture, TranslucentPixelsAreDrawnOverBlack) {
  RgbaPicture p(1, 1);
  p.Set(0, 0, 200, 100, 2, 128);
  const auto png = EncodePng(p);
  const auto image = PreparePictureTexture(png.data(), png.size(), 1024);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixels, (std::vector<uint8_t>{100, 50, 1, 255}));
}

TEST(Stretch, KeepsSolidAreasAndBlendsBetweenThem) {
  TextureImage src;
  src.width = 2;
  src.height = 2;
  src.channels = 3;
  src.pixels = {0, 0, 0, 200, 200, 200,   // top row
                10, 20, 30, 10, 20, 30};  // bottom row
  const TextureImage up = Stretch(src, 4, 4, false);
  ASSERT_EQ(up.pixels.size(), 48u);
  EXPECT_EQ(up.pixels[0], 0);                        // top-left corner stays
  EXPECT_EQ(up.pixels[3 * 3], 200);                  // top-right corner stays
  EXPECT_EQ(up.pixels[(3 * 4 + 1) * 3 + 2], 30);     // the solid bottom row stays solid
  EXPECT_EQ(up.pixels[1 * 3], 50);                   // a quarter of the way across
  const TextureImage flipped = Stretch(src, 4, 4, true);
  EXPECT_EQ(flipped.pixels[0], 10);
  EXPECT_EQ(std::vector<uint8_t>(flipped.pixels.begin(), flipped.pixels.begin() + 12),
            std::vector<uint8_t>(up.pixels.end() - 12, up.pixels.end()));
  const TextureImage down = Stretch(src, 1, 1, false);
  EXPECT_EQ(down.pixels[0], 55);  // the mean of the four
}
