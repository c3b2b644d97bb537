#include "resources/texture_images.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstring>

#include "platform/image_decode.h"
#include "scenedata/byte_reader.h"

namespace VantorGL {
namespace {

bool IsPowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

// ---------------------------------------------------------------------------
// PNG reading. libpng reports errors by longjmp: the function that calls setjmp
// keeps every C++ object it touches afterwards in the caller's PngJob, so the
// jump skips no destructor.

struct PngJob {
  explicit PngJob(const uint8_t* data, size_t size) : reader(data, size) {}
  ByteReader reader;
  TextureImage image;
  std::vector<png_bytep> rows;
};

[[noreturn]] void PngFail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngIgnoreWarning(png_structp, png_const_charp) {}

void PngRead(png_structp png, png_bytep out, size_t length) {
  auto* reader = static_cast<ByteReader*>(png_get_io_ptr(png));
  if (reader->remaining() < length) png_error(png, "truncated");
  std::memcpy(out, reader->current(), length);
  reader->Skip(length);
}

// Deflate cannot shrink data by more than about 1032:1, so a file cannot hold
// more raw rows than this; larger declarations are refused before allocating.
bool PlausibleRawSize(uint64_t rawBytes, size_t fileBytes) {
  return rawBytes <= uint64_t{1040} * fileBytes + 4096;
}

bool RunPngRead(PngJob& job) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngIgnoreWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &job.reader, PngRead);
  png_set_user_limits(png, 65535, 65535);
  png_read_info(png, info);

  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
  if (width == 0 || height == 0 || int64_t{width} * height > kMaxImagePixels ||
      !PlausibleRawSize((uint64_t{png_get_rowbytes(png, info)} + 1) * height, job.reader.size()))
    png_error(png, "size");

  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (bitDepth == 16) png_set_strip_16(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  const int channels = png_get_channels(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  if ((channels != 3 && channels != 4) || png_get_bit_depth(png, info) != 8 ||
      rowBytes != size_t{width} * channels)
    png_error(png, "format");

  job.image.width = static_cast<int>(width);
  job.image.height = static_cast<int>(height);
  job.image.channels = channels;
  job.image.pixels.resize(rowBytes * height);
  job.rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) job.rows[y] = job.image.pixels.data() + rowBytes * y;
  png_read_image(png, job.rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

// ---------------------------------------------------------------------------
// Picture headers: the format and the declared size, read before the platform
// decoder allocates anything.

uint32_t BigEndian(ByteReader& r, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | r.U8();
  return v;
}

struct PictureHeader {
  const char* type = nullptr;
  int64_t width = 0, height = 0;
};

bool ReadJpegHeader(const uint8_t* data, size_t size, PictureHeader& header) {
  ByteReader r(data, size);
  r.Skip(2);  // FF D8
  while (r.ok() && !r.AtEnd()) {
    if (r.U8() != 0xFF) return false;
    uint8_t marker = r.U8();
    while (marker == 0xFF && r.ok()) marker = r.U8();
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (marker == 0xD9 || marker == 0xDA) return false;  // no frame header before the scan
    const uint32_t length = BigEndian(r, 2);
    if (!r.ok() || length < 2) return false;
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      ByteReader segment = r.Sub(length - 2);
      segment.U8();  // precision
      header.height = BigEndian(segment, 2);
      header.width = BigEndian(segment, 2);
      if (!segment.ok() || !r.ok()) return false;
      // A complete file ends its last scan with the end marker; entropy-coded data
      // never holds FF D9, so its absence means the file was cut short.
      for (size_t i = r.position(); i + 1 < size; ++i)
        if (data[i] == 0xFF && data[i + 1] == 0xD9) {
          header.type = "JPG";
          return true;
        }
      return false;
    }
    r.Skip(length - 2);
  }
  return false;
}

bool ReadPictureHeader(const uint8_t* data, size_t size, PictureHeader& header) {
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return ReadJpegHeader(data, size, header);
  if (size >= 26 && data[0] == 'B' && data[1] == 'M') {
    ByteReader r(data, size);
    r.Seek(14);
    const uint32_t infoSize = r.U32();
    if (infoSize == 12) {
      header.width = r.U16();
      header.height = r.U16();
    } else {
      header.width = static_cast<int32_t>(r.U32());
      header.height = static_cast<int32_t>(r.U32());
      if (header.height < 0) header.height = -header.height;  // top-down bitmap
    }
    header.type = "BMP";
    return r.ok();
  }
  return false;
}

// ---------------------------------------------------------------------------
// Resampling: 16.16 fixed point, separable, each source row filtered across at
// most once.

struct Tap {
  int i0, i1;
  uint32_t w1;  // weight of i1 out of 65536
};

std::vector<Tap> Taps(int from, int to) {
  std::vector<Tap> taps(to);
  const double scale = static_cast<double>(from) / to;
  for (int i = 0; i < to; ++i) {
    double s = (i + 0.5) * scale - 0.5;
    if (s < 0) s = 0;
    int i0 = static_cast<int>(s);
    if (i0 > from - 1) i0 = from - 1;
    const int i1 = std::min(i0 + 1, from - 1);
    uint32_t w1 = static_cast<uint32_t>(std::lround((s - i0) * 65536.0));
    if (i1 == i0) w1 = 0;
    taps[i] = {i0, i1, std::min<uint32_t>(w1, 65536)};
  }
  return taps;
}

void StretchRow(const uint8_t* src, int channels, const std::vector<Tap>& taps, uint8_t* out) {
  for (size_t x = 0; x < taps.size(); ++x) {
    const uint8_t* a = src + taps[x].i0 * channels;
    const uint8_t* b = src + taps[x].i1 * channels;
    const uint32_t w1 = taps[x].w1, w0 = 65536 - w1;
    for (int c = 0; c < channels; ++c) *out++ = static_cast<uint8_t>((a[c] * w0 + b[c] * w1 + 32768) >> 16);
  }
}

}  // namespace

int PngTextureSide(int size, int maxSize) {
  if (size > maxSize) return maxSize;
  if (IsPowerOfTwo(size)) return size;
  int side = 1;
  while (side < size) side <<= 1;
  return side;
}

int PictureTextureSide(int size, int maxSize) {
  if (size > maxSize) return maxSize;
  const int exponent = static_cast<int>(std::floor(std::log2(static_cast<double>(size)) + 0.5));
  // With a maximum that is no power of two the nearest power may lie above it.
  return std::min(1 << exponent, maxSize);
}

std::optional<TextureImage> DecodePng(const uint8_t* data, size_t size) {
  if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return std::nullopt;
  PngJob job(data, size);
  if (!RunPngRead(job)) return std::nullopt;
  return std::move(job.image);
}

std::optional<TextureImage> DecodePictureFile(const uint8_t* data, size_t size) {
  if (!data || size == 0) return std::nullopt;
  // PNG pictures go through our own reader: SDL2_image's PNG reader ignores short
  // reads and can loop for ever on a damaged file.
  if (size >= 8 && png_sig_cmp(data, 0, 8) == 0) return DecodePng(data, size);
  PictureHeader header;
  if (!ReadPictureHeader(data, size, header) || header.width <= 0 || header.height <= 0 ||
      header.width * header.height > kMaxImagePixels)
    return std::nullopt;
  platform::DecodedPixels decoded;
  if (!platform::DecodePicture(data, size, header.type, decoded)) return std::nullopt;
  if (int64_t{decoded.width} * decoded.height > kMaxImagePixels) return std::nullopt;
  TextureImage image;
  image.width = decoded.width;
  image.height = decoded.height;
  image.channels = decoded.channels;
  image.pixels = std::move(decoded.pixels);
  return image;
}

TextureImage Stretch(const TextureImage& source, int width, int height, bool flipRows) {
  const int c = source.channels;
  TextureImage out;
  out.width = width;
  out.height = height;
  out.channels = c;
  out.pixels.resize(static_cast<size_t>(width) * height * c);
  const size_t srcRow = static_cast<size_t>(source.width) * c;
  const size_t dstRow = static_cast<size_t>(width) * c;
  const std::vector<Tap> across = Taps(source.width, width);
  const std::vector<Tap> down = Taps(source.height, height);
  const bool sameWidth = width == source.width;

  // The two source rows the current output row blends, already stretched across.
  std::vector<uint8_t> cache[2] = {std::vector<uint8_t>(sameWidth ? 0 : dstRow),
                                   std::vector<uint8_t>(sameWidth ? 0 : dstRow)};
  int cached[2] = {-1, -1};
  auto row = [&](int y, int keep) -> const uint8_t* {
    const uint8_t* src = source.pixels.data() + srcRow * y;
    if (sameWidth) return src;
    for (int k = 0; k < 2; ++k)
      if (cached[k] == y) return cache[k].data();
    // Replace the slot that does not hold the other row of the pair.
    const int k = cached[0] == keep ? 1 : 0;
    StretchRow(src, c, across, cache[k].data());
    cached[k] = y;
    return cache[k].data();
  };

  for (int y = 0; y < height; ++y) {
    const Tap& t = down[flipRows ? height - 1 - y : y];
    uint8_t* out_row = out.pixels.data() + dstRow * y;
    const uint8_t* a = row(t.i0, t.i1);
    if (t.w1 == 0) {
      std::memcpy(out_row, a, dstRow);
      continue;
    }
    const uint8_t* b = row(t.i1, t.i0);
    const uint32_t w1 = t.w1, w0 = 65536 - w1;
    for (size_t i = 0; i < dstRow; ++i) out_row[i] = static_cast<uint8_t>((a[i] * w0 + b[i] * w1 + 32768) >> 16);
  }
  return out;
}

std::optional<TextureImage> PreparePngTexture(const uint8_t* data, size_t size, int maxSize) {
  if (maxSize <= 0) return std::nullopt;
  std::optional<TextureImage> image = DecodePng(data, size);
  if (!image) return std::nullopt;
  const int width = PngTextureSide(image->width, maxSize);
  const int height = PngTextureSide(image->height, maxSize);
  if (width == image->width && height == image->height) return image;
  return Stretch(*image, width, height, false);
}

std::optional<TextureImage> PreparePictureTexture(const uint8_t* data, size_t size, int maxSize) {
  if (maxSize <= 0) return std::nullopt;
  std::optional<TextureImage> image = DecodePictureFile(data, size);
  if (!image) return std::nullopt;

  // The picture is drawn onto a black surface: whatever alpha it has only darkens
  // it, and the result is opaque apart from the black-is-transparent rule below.
  if (image->channels == 4) {
    for (size_t i = 0; i < image->pixels.size(); i += 4) {
      const uint32_t a = image->pixels[i + 3];
      if (a == 255) continue;
      for (int c = 0; c < 3; ++c) image->pixels[i + c] = static_cast<uint8_t>((image->pixels[i + c] * a + 127) / 255);
    }
  }

  const TextureImage stretched = Stretch(*image, PictureTextureSide(image->width, maxSize),
                                         PictureTextureSide(image->height, maxSize), true);
  TextureImage out;
  out.width = stretched.width;
  out.height = stretched.height;
  out.channels = 4;
  const size_t count = static_cast<size_t>(out.width) * out.height;
  out.pixels.resize(count * 4);
  const uint8_t* src = stretched.pixels.data();
  uint8_t* dst = out.pixels.data();
  const int step = stretched.channels;
  for (size_t i = 0; i < count; ++i, src += step, dst += 4) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
    dst[3] = (src[0] | src[1] | src[2]) ? 255 : 0;
  }
  return out;
}

}  // namespace VantorGL
