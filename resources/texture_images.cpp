#include "resources/texture_images.h"

#include <libdeflate.h>
#include <png.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/image_decode.h"
#include "scenedata/byte_reader.h"

namespace VantorGL {
namespace {

bool IsPowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

// A picture's pixels, zero-filled, in a block with room to spare: once freed
// after its upload, a texture's storage of the same size, with the driver's
// alignment added, fits in it (see BeginSharingFreedBlocks). Never touched, the
// room costs no memory.
void SizePixels(std::vector<uint8_t>& pixels, size_t bytes) {
  constexpr size_t kRoom = 16384;
  pixels.reserve(bytes + kRoom);
  pixels.resize(bytes);
}

// ---------------------------------------------------------------------------
// Resampling: bilinear, separable, fed one source row at a time from the top so
// a PNG can be stretched while it is read, without a whole-picture copy.

struct Tap {
  int i0, i1;
  uint32_t w1;  // weight of i1 out of 256
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
    uint32_t w1 = static_cast<uint32_t>(std::lround((s - i0) * 256.0));
    if (i1 == i0) w1 = 0;
    taps[i] = {i0, i1, std::min<uint32_t>(w1, 256)};
  }
  return taps;
}

void StretchAcross(const uint8_t* src, int channels, const std::vector<Tap>& taps, uint8_t* out) {
  for (const Tap& t : taps) {
    const uint8_t* a = src + t.i0 * channels;
    const uint8_t* b = src + t.i1 * channels;
    const uint32_t w0 = 256 - t.w1;
    for (int c = 0; c < channels; ++c) *out++ = static_cast<uint8_t>((a[c] * w0 + b[c] * t.w1 + 128) >> 8);
  }
}

// out = a * (256 - w1) / 256 + b * w1 / 256, sixteen bytes at a time.
void Blend(const uint8_t* a, const uint8_t* b, uint32_t w1, uint8_t* out, size_t n) {
  typedef uint8_t Bytes __attribute__((vector_size(16)));
  typedef uint16_t Words __attribute__((vector_size(32)));
  const uint16_t wb = static_cast<uint16_t>(w1), wa = static_cast<uint16_t>(256 - w1);
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    Bytes va, vb;
    std::memcpy(&va, a + i, 16);
    std::memcpy(&vb, b + i, 16);
    const Words r = (__builtin_convertvector(va, Words) * wa + __builtin_convertvector(vb, Words) * wb + 128) >> 8;
    const Bytes o = __builtin_convertvector(r, Bytes);
    std::memcpy(out + i, &o, 16);
  }
  for (; i < n; ++i) out[i] = static_cast<uint8_t>((a[i] * wa + b[i] * wb + 128) >> 8);
}

// Takes the source rows top to bottom and writes every output row as soon as
// both of its source rows are in. A pushed row must stay unchanged until the next
// Push returns (two alternating buffers or a whole picture both do).
class RowStretcher {
 public:
  // `alphaRule`: the output is RGBA whatever the source has, with alpha 0 for pure
  // black and 255 otherwise; else the output keeps the source's channels.
  RowStretcher(int srcWidth, int srcHeight, int channels, int width, int height, bool flipRows, bool alphaRule,
               uint8_t* out)
      : channels_(channels),
        width_(width),
        height_(height),
        flip_(flipRows),
        alphaRule_(alphaRule),
        sameWidth_(srcWidth == width),
        rowBytes_(static_cast<size_t>(width) * channels),
        outRowBytes_(static_cast<size_t>(width) * (alphaRule ? 4 : channels)),
        across_(Taps(srcWidth, width)),
        down_(Taps(srcHeight, height)),
        out_(out) {
    if (!sameWidth_) slots_[0].resize(rowBytes_), slots_[1].resize(rowBytes_);
    if (alphaRule_) blended_.resize(rowBytes_ + 1);
  }

  void Push(const uint8_t* row) {
    const int y = ++last_;
    const uint8_t* current = row;
    if (!sameWidth_) {
      StretchAcross(row, channels_, across_, slots_[y & 1].data());
      current = slots_[y & 1].data();
    }
    rows_[y & 1] = current;
    while (next_ < height_ && down_[next_].i1 == y) {
      const Tap& t = down_[next_];
      uint8_t* dst = out_ + outRowBytes_ * (flip_ ? height_ - 1 - next_ : next_);
      uint8_t* target = alphaRule_ ? blended_.data() : dst;
      if (t.w1 == 0) {
        std::memcpy(target, rows_[t.i0 & 1], rowBytes_);
      } else {
        Blend(rows_[t.i0 & 1], rows_[t.i1 & 1], t.w1, target, rowBytes_);
      }
      if (alphaRule_) ApplyAlphaRule(blended_.data(), dst);
      ++next_;
    }
  }

 private:
  void ApplyAlphaRule(const uint8_t* src, uint8_t* dst) const {
    if constexpr (std::endian::native == std::endian::little) {
      // One 32-bit word a pixel; `src` has a spare byte after its last pixel.
      for (int x = 0; x < width_; ++x, src += channels_, dst += 4) {
        uint32_t v;
        std::memcpy(&v, src, 4);
        v &= 0x00FFFFFFu;
        v |= v ? 0xFF000000u : 0u;
        std::memcpy(dst, &v, 4);
      }
    } else {
      for (int x = 0; x < width_; ++x, src += channels_, dst += 4) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
        dst[3] = (src[0] | src[1] | src[2]) ? 255 : 0;
      }
    }
  }

  const int channels_, width_, height_;
  const bool flip_, alphaRule_, sameWidth_;
  const size_t rowBytes_, outRowBytes_;
  const std::vector<Tap> across_, down_;
  uint8_t* const out_;
  std::vector<uint8_t> slots_[2], blended_;
  const uint8_t* rows_[2] = {nullptr, nullptr};
  int last_ = -1;  // the last source row pushed
  int next_ = 0;   // the next output row, in picture order
};

// ---------------------------------------------------------------------------
// PNG reading. libpng reports errors by longjmp: the function that calls setjmp
// keeps every C++ object it touches afterwards in the caller's PngJob, so the
// jump skips no destructor.

struct PngJob {
  explicit PngJob(const uint8_t* data, size_t size) : reader(data, size) {}
  ByteReader reader;
  int maxSize = 0;     // > 0: stretch to the PNG size rule while reading (not interlaced)
  TextureImage image;  // the file's pixels, or the stretched ones
  int fileWidth = 0, fileHeight = 0;
  std::vector<png_bytep> rows;
  std::vector<uint8_t> ring[2];
  std::unique_ptr<RowStretcher> stretcher;
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

uint32_t BigEndian(ByteReader& r, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | r.U8();
  return v;
}

// Every chunk's declared length must lie inside the file, up to IEND. libpng
// allocates a text chunk's declared length before reading it (a few bytes can
// ask for 2 GB), so the chunk walk comes first.
bool ChunksFitInFile(const uint8_t* data, size_t size) {
  ByteReader r(data, size);
  r.Skip(8);
  while (r.ok() && r.remaining() >= 12) {
    const uint32_t length = BigEndian(r, 4);
    char type[4];
    for (char& c : type) c = static_cast<char>(r.U8());
    if (length > 0x7FFFFFFFu || length > r.remaining() || r.remaining() - length < 4) return false;
    r.Skip(length + size_t{4});
    if (std::memcmp(type, "IEND", 4) == 0) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// The quick read: the plain kind of file the show's pictures are (8-bit RGB or
// RGBA, not interlaced, no palette or transparency chunk), inflated in one piece
// by libdeflate, which takes about half zlib's time. It only ever succeeds on a
// file libpng reads without complaint, to the same pixels: whatever it does not
// expect (a bad checksum, an unusual chunk, a stream that is not exactly the
// rows) sends the file to libpng, which decides.

uint32_t ChunkWord(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

struct Inflater {
  Inflater() : d(libdeflate_alloc_decompressor()) {}
  ~Inflater() { libdeflate_free_decompressor(d); }
  libdeflate_decompressor* d;
};

uint8_t PaethPredictor(int a, int b, int c) {
  const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

#if defined(__SSE2__)
// The filters that predict from the pixel to the left, for four bytes a pixel:
// a pixel's four channels at once in 16-bit lanes, so the chain from each pixel
// to the next is one step a pixel instead of one a byte (most of the show's
// slide rows are Paeth-filtered). The same bytes as the byte loop.
__m128i LoadPixel(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return _mm_unpacklo_epi8(_mm_cvtsi32_si128(v), _mm_setzero_si128());
}
void StorePixel(__m128i v, uint8_t* p) {
  const int32_t x = _mm_cvtsi128_si32(_mm_packus_epi16(v, v));
  std::memcpy(p, &x, 4);
}
__m128i Magnitude(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }
__m128i Choose(__m128i mask, __m128i ifSet, __m128i otherwise) {
  return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, otherwise));
}

// Sub (1), Average (3) and Paeth (4) with a prior row; false for the others.
bool UnfilterPixels(uint8_t type, const uint8_t* in, const uint8_t* prior, uint8_t* out, size_t n) {
  const __m128i low = _mm_set1_epi16(0xff);
  __m128i a = _mm_setzero_si128(), c = _mm_setzero_si128();  // left, above left
  switch (type) {
    case 1:
      for (size_t i = 0; i < n; i += 4) {
        a = _mm_and_si128(_mm_add_epi16(LoadPixel(in + i), a), low);
        StorePixel(a, out + i);
      }
      return true;
    case 3:
      for (size_t i = 0; i < n; i += 4) {
        const __m128i average = _mm_srli_epi16(_mm_add_epi16(a, LoadPixel(prior + i)), 1);
        a = _mm_and_si128(_mm_add_epi16(LoadPixel(in + i), average), low);
        StorePixel(a, out + i);
      }
      return true;
    case 4:
      for (size_t i = 0; i < n; i += 4) {
        const __m128i b = LoadPixel(prior + i);
        const __m128i towardA = _mm_sub_epi16(b, c), towardB = _mm_sub_epi16(a, c);
        const __m128i pa = Magnitude(towardA), pb = Magnitude(towardB);
        const __m128i pc = Magnitude(_mm_add_epi16(towardA, towardB));
        const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
        // Ties go to a, then b, as PaethPredictor's.
        const __m128i nearest = Choose(_mm_cmpeq_epi16(smallest, pa), a, Choose(_mm_cmpeq_epi16(smallest, pb), b, c));
        a = _mm_and_si128(_mm_add_epi16(LoadPixel(in + i), nearest), low);
        StorePixel(a, out + i);
        c = b;
      }
      return true;
    default: return false;
  }
}
#endif

// One row's filter undone into `out`; `prior` is the row above (unfiltered),
// null for the first. False for a filter type PNG does not have.
template <int kBpp>
bool Unfilter(uint8_t type, const uint8_t* in, const uint8_t* prior, uint8_t* out, size_t n) {
#if defined(__SSE2__)
  if constexpr (kBpp == 4)
    if (prior && n % 4 == 0 && UnfilterPixels(type, in, prior, out, n)) return true;
#endif
  switch (type) {
    case 0: std::memcpy(out, in, n); return true;
    case 1:
      for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(in[i] + (i >= kBpp ? out[i - kBpp] : 0));
      return true;
    case 2:
      if (!prior) return Unfilter<kBpp>(0, in, prior, out, n);
      for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(in[i] + prior[i]);
      return true;
    case 3:
      for (size_t i = 0; i < n; ++i) {
        const int a = i >= kBpp ? out[i - kBpp] : 0, b = prior ? prior[i] : 0;
        out[i] = static_cast<uint8_t>(in[i] + ((a + b) >> 1));
      }
      return true;
    case 4:
      if (!prior) return Unfilter<kBpp>(1, in, prior, out, n);
      for (size_t i = 0; i < kBpp; ++i) out[i] = static_cast<uint8_t>(in[i] + prior[i]);
      for (size_t i = kBpp; i < n; ++i)
        out[i] = static_cast<uint8_t>(in[i] + PaethPredictor(out[i - kBpp], prior[i], prior[i - kBpp]));
      return true;
    default: return false;
  }
}

enum class QuickRead { kDone, kAskLibpng };

QuickRead RunQuickPngRead(PngJob& job) {
  const uint8_t* data = job.reader.current();
  const size_t size = job.reader.size();
  // The signature is checked by the caller; IHDR comes first, 13 bytes long.
  if (size < 8 + 25 || ChunkWord(data + 8) != 13 || std::memcmp(data + 12, "IHDR", 4) != 0)
    return QuickRead::kAskLibpng;
  const uint8_t* ihdr = data + 16;
  const uint32_t width = ChunkWord(ihdr), height = ChunkWord(ihdr + 4);
  const uint8_t depth = ihdr[8], colorType = ihdr[9];
  if (depth != 8 || (colorType != 2 && colorType != 6) || ihdr[10] != 0 || ihdr[11] != 0 || ihdr[12] != 0)
    return QuickRead::kAskLibpng;
  if (width == 0 || height == 0 || width > 65535 || height > 65535 || int64_t{width} * height > kMaxImagePixels)
    return QuickRead::kAskLibpng;
  const int channels = colorType == 6 ? 4 : 3;
  const size_t rowBytes = size_t{width} * channels;
  if (!PlausibleRawSize((uint64_t{rowBytes} + 1) * height, size)) return QuickRead::kAskLibpng;

  // Every chunk whole, its checksum right; the image data in one run of IDATs.
  struct Span {
    const uint8_t* data;
    size_t size;
  };
  std::vector<Span> idat;
  bool idatEnded = false, ended = false;
  for (size_t at = 8; !ended;) {
    if (size - at < 12) return QuickRead::kAskLibpng;
    const uint32_t length = ChunkWord(data + at);
    if (length > 0x7FFFFFFFu || size - at - 12 < length) return QuickRead::kAskLibpng;
    const uint8_t* type = data + at + 4;
    for (int i = 0; i < 4; ++i)
      if (!((type[i] >= 'A' && type[i] <= 'Z') || (type[i] >= 'a' && type[i] <= 'z'))) return QuickRead::kAskLibpng;
    if (libdeflate_crc32(0, type, length + size_t{4}) != ChunkWord(type + 4 + length)) return QuickRead::kAskLibpng;
    const bool isIdat = std::memcmp(type, "IDAT", 4) == 0;
    if (isIdat) {
      if (idatEnded) return QuickRead::kAskLibpng;
      idat.push_back({type + 4, length});
    } else {
      if (!idat.empty()) idatEnded = true;
      if (std::memcmp(type, "IEND", 4) == 0) {
        if (length != 0) return QuickRead::kAskLibpng;
        ended = true;
      } else if (at != 8 && ((type[0] & 0x20) == 0 || (type[2] & 0x20) != 0 || length > (16u << 20) ||
                             std::memcmp(type, "tRNS", 4) == 0)) {
        return QuickRead::kAskLibpng;  // a palette, another critical chunk, transparency
      }
    }
    at += 12 + size_t{length};
  }
  if (idat.empty()) return QuickRead::kAskLibpng;

  std::vector<uint8_t> joined;
  const uint8_t* stream = idat[0].data;
  size_t streamSize = idat[0].size;
  if (idat.size() > 1) {
    for (const Span& s : idat) joined.insert(joined.end(), s.data, s.data + s.size);
    stream = joined.data();
    streamSize = joined.size();
  }
  // A stream declaring a window smaller than the rows may reach back beyond it:
  // zlib refuses that, libdeflate would not.
  const size_t filteredBytes = (rowBytes + 1) * height;
  if (streamSize < 2 || ((stream[0] >> 4) < 7 && filteredBytes > size_t{1} << ((stream[0] >> 4) + 8)))
    return QuickRead::kAskLibpng;

  std::vector<uint8_t> filtered(filteredBytes);
  static thread_local Inflater inflater;
  if (!inflater.d) return QuickRead::kAskLibpng;
  size_t consumed = 0, produced = 0;
  if (libdeflate_zlib_decompress_ex(inflater.d, stream, streamSize, filtered.data(), filteredBytes, &consumed,
                                    &produced) != LIBDEFLATE_SUCCESS ||
      consumed != streamSize || produced != filteredBytes)
    return QuickRead::kAskLibpng;

  const auto unfilter = channels == 4 ? Unfilter<4> : Unfilter<3>;
  job.image.width = job.fileWidth = static_cast<int>(width);
  job.image.height = job.fileHeight = static_cast<int>(height);
  job.image.channels = channels;
  const int outWidth = job.maxSize > 0 ? PngTextureSide(job.image.width, job.maxSize) : job.image.width;
  const int outHeight = job.maxSize > 0 ? PngTextureSide(job.image.height, job.maxSize) : job.image.height;
  if (outWidth != job.image.width || outHeight != job.image.height) {
    TextureImage out;
    out.width = outWidth;
    out.height = outHeight;
    out.channels = channels;
    SizePixels(out.pixels, static_cast<size_t>(outWidth) * outHeight * channels);
    std::vector<uint8_t> ring[2] = {std::vector<uint8_t>(rowBytes), std::vector<uint8_t>(rowBytes)};
    RowStretcher stretcher(static_cast<int>(width), static_cast<int>(height), channels, outWidth, outHeight, false,
                           false, out.pixels.data());
    for (uint32_t y = 0; y < height; ++y) {
      const uint8_t* in = filtered.data() + (rowBytes + 1) * y;
      if (!unfilter(in[0], in + 1, y ? ring[(y - 1) & 1].data() : nullptr, ring[y & 1].data(), rowBytes))
        return QuickRead::kAskLibpng;
      stretcher.Push(ring[y & 1].data());
    }
    job.image = std::move(out);
  } else {
    SizePixels(job.image.pixels, rowBytes * height);
    uint8_t* pixels = job.image.pixels.data();
    for (uint32_t y = 0; y < height; ++y) {
      const uint8_t* in = filtered.data() + (rowBytes + 1) * y;
      if (!unfilter(in[0], in + 1, y ? pixels + rowBytes * (y - 1) : nullptr, pixels + rowBytes * y, rowBytes))
        return QuickRead::kAskLibpng;
    }
  }
  return QuickRead::kDone;
}

bool RunPngRead(PngJob& job) {
  if (RunQuickPngRead(job) == QuickRead::kDone) return true;
  job.image = TextureImage{};
  if (!ChunksFitInFile(job.reader.current(), job.reader.size())) return false;
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
  png_set_chunk_malloc_max(png, 16u << 20);
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

  job.image.width = job.fileWidth = static_cast<int>(width);
  job.image.height = job.fileHeight = static_cast<int>(height);
  job.image.channels = channels;
  const int outWidth = job.maxSize > 0 ? PngTextureSide(job.image.width, job.maxSize) : job.image.width;
  const int outHeight = job.maxSize > 0 ? PngTextureSide(job.image.height, job.maxSize) : job.image.height;
  if (interlace == PNG_INTERLACE_NONE && (outWidth != job.image.width || outHeight != job.image.height)) {
    job.image.width = outWidth;
    job.image.height = outHeight;
    SizePixels(job.image.pixels, static_cast<size_t>(outWidth) * outHeight * channels);
    job.ring[0].resize(rowBytes);
    job.ring[1].resize(rowBytes);
    job.stretcher = std::make_unique<RowStretcher>(static_cast<int>(width), static_cast<int>(height), channels,
                                                   outWidth, outHeight, false, false, job.image.pixels.data());
    for (png_uint_32 y = 0; y < height; ++y) {
      png_read_row(png, job.ring[y & 1].data(), nullptr);
      job.stretcher->Push(job.ring[y & 1].data());
    }
  } else {
    SizePixels(job.image.pixels, rowBytes * height);
    job.rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) job.rows[y] = job.image.pixels.data() + rowBytes * y;
    png_read_image(png, job.rows.data());
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

// ---------------------------------------------------------------------------
// Picture headers: the format and the declared size, read before the platform
// decoder allocates anything.

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
      // Whether the file goes on to its end is the decoder's to find.
      header.type = "JPG";
      return true;
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
  TextureImage out;
  out.width = width;
  out.height = height;
  out.channels = source.channels;
  SizePixels(out.pixels, static_cast<size_t>(width) * height * source.channels);
  RowStretcher stretcher(source.width, source.height, source.channels, width, height, flipRows, false,
                         out.pixels.data());
  const size_t rowBytes = static_cast<size_t>(source.width) * source.channels;
  for (int y = 0; y < source.height; ++y) stretcher.Push(source.pixels.data() + rowBytes * y);
  return out;
}

std::optional<TextureImage> PreparePngTexture(const uint8_t* data, size_t size, int maxSize, int* largestSide) {
  if (maxSize <= 0 || !data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return std::nullopt;
  PngJob job(data, size);
  job.maxSize = maxSize;
  if (!RunPngRead(job)) return std::nullopt;
  const int width = PngTextureSide(job.image.width, maxSize);
  const int height = PngTextureSide(job.image.height, maxSize);
  if (largestSide) *largestSide = std::max({width, height, job.fileWidth, job.fileHeight});
  // Interlaced files and files already of the right size are read whole.
  if (width == job.image.width && height == job.image.height) return std::move(job.image);
  return Stretch(job.image, width, height, false);
}

std::optional<TextureImage> PreparePictureTexture(const uint8_t* data, size_t size, int maxSize,
                                                  int* largestSide) {
  if (maxSize <= 0) return std::nullopt;
  std::optional<TextureImage> image = DecodePictureFile(data, size);
  if (!image) return std::nullopt;

  // The picture is drawn onto a black surface: whatever alpha it has only darkens
  // it, and the result is opaque apart from the black-is-transparent rule.
  if (image->channels == 4) {
    for (size_t i = 0; i < image->pixels.size(); i += 4) {
      const uint32_t a = image->pixels[i + 3];
      if (a == 255) continue;
      for (int c = 0; c < 3; ++c) image->pixels[i + c] = static_cast<uint8_t>((image->pixels[i + c] * a + 127) / 255);
    }
  }

  TextureImage out;
  out.width = PictureTextureSide(image->width, maxSize);
  out.height = PictureTextureSide(image->height, maxSize);
  out.channels = 4;
  if (largestSide) *largestSide = std::max({out.width, out.height, image->width, image->height});
  SizePixels(out.pixels, static_cast<size_t>(out.width) * out.height * 4);
  RowStretcher stretcher(image->width, image->height, image->channels, out.width, out.height, true, true,
                         out.pixels.data());
  const size_t rowBytes = static_cast<size_t>(image->width) * image->channels;
  for (int y = 0; y < image->height; ++y) stretcher.Push(image->pixels.data() + rowBytes * y);
  return out;
}

}  // namespace VantorGL
