#include "image.h"

#include <png.h>
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace content {

Canvas::Canvas(int w, int h, Rgba fill)
    : width(w), height(h), px(static_cast<size_t>(w) * h, fill) {}

void BlendOver(Rgba& dst, const Rgba& src) {
  const float a = src.a + dst.a * (1.0f - src.a);
  if (a <= 1e-6f) {
    dst = {};
    return;
  }
  const float k = dst.a * (1.0f - src.a);
  dst.r = (src.r * src.a + dst.r * k) / a;
  dst.g = (src.g * src.a + dst.g * k) / a;
  dst.b = (src.b * src.a + dst.b * k) / a;
  dst.a = a;
}

namespace {

// One box pass along rows (horizontal) or columns; running sums keep it O(n).
void BoxPass(Mask& m, int r, bool horizontal) {
  const int len = horizontal ? m.width : m.height;
  const int lines = horizontal ? m.height : m.width;
  std::vector<float> line(static_cast<size_t>(len));
  const float norm = 1.0f / static_cast<float>(2 * r + 1);
  for (int l = 0; l < lines; ++l) {
    auto ref = [&](int i) -> float& { return horizontal ? m.At(i, l) : m.At(l, i); };
    for (int i = 0; i < len; ++i) line[static_cast<size_t>(i)] = ref(i);
    double sum = 0;
    for (int i = -r; i <= r; ++i)
      if (i >= 0 && i < len) sum += line[static_cast<size_t>(i)];
    for (int i = 0; i < len; ++i) {
      ref(i) = static_cast<float>(sum) * norm;
      const int out = i - r, in = i + r + 1;
      if (out >= 0) sum -= line[static_cast<size_t>(out)];
      if (in < len) sum += line[static_cast<size_t>(in)];
    }
  }
}

uint8_t ToByte(float v) {
  return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

void PngWrite(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}
void PngFlush(png_structp) {}

}  // namespace

void BlurMask(Mask& m, int radius) {
  if (radius <= 0) return;
  for (int pass = 0; pass < 3; ++pass) {
    BoxPass(m, radius, true);
    BoxPass(m, radius, false);
  }
}

void PaintMask(Canvas& c, const Mask& m, int x, int y, const Rgba& colour) {
  const int x0 = std::max(0, x), y0 = std::max(0, y);
  const int x1 = std::min(c.width, x + m.width), y1 = std::min(c.height, y + m.height);
  for (int py = y0; py < y1; ++py)
    for (int px = x0; px < x1; ++px) {
      const float cov = m.At(px - x, py - y);
      if (cov <= 0.0f) continue;
      Rgba s = colour;
      s.a *= std::min(cov, 1.0f);
      BlendOver(c.At(px, py), s);
    }
}

std::vector<uint8_t> EncodePng(const Canvas& c, bool withAlpha) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) throw std::runtime_error("libpng: out of memory");
  const int channels = withAlpha ? 4 : 3;
  std::vector<uint8_t> rows(static_cast<size_t>(c.width) * c.height * channels);
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      const Rgba& p = c.At(x, y);
      uint8_t* d = &rows[(static_cast<size_t>(y) * c.width + x) * channels];
      d[0] = ToByte(p.r);
      d[1] = ToByte(p.g);
      d[2] = ToByte(p.b);
      if (withAlpha) d[3] = ToByte(p.a);
    }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng: encoding failed");
  }
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  png_set_compression_level(png, 6);
  png_set_IHDR(png, info, static_cast<png_uint_32>(c.width), static_cast<png_uint_32>(c.height), 8,
               withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < c.height; ++y)
    png_write_row(png, &rows[static_cast<size_t>(y) * c.width * channels]);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<uint8_t> EncodeJpeg(const Canvas& c, int quality) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* mem = nullptr;
  unsigned long memSize = 0;
  jpeg_mem_dest(&cinfo, &mem, &memSize);
  cinfo.image_width = static_cast<JDIMENSION>(c.width);
  cinfo.image_height = static_cast<JDIMENSION>(c.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  cinfo.optimize_coding = TRUE;
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(c.width) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < c.width; ++x) {
      const Rgba& p = c.At(x, y);
      row[static_cast<size_t>(x) * 3 + 0] = ToByte(p.r);
      row[static_cast<size_t>(x) * 3 + 1] = ToByte(p.g);
      row[static_cast<size_t>(x) * 3 + 2] = ToByte(p.b);
    }
    JSAMPROW rp = row.data();
    jpeg_write_scanlines(&cinfo, &rp, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> out(mem, mem + memSize);
  jpeg_destroy_compress(&cinfo);
  std::free(mem);
  return out;
}

}  // namespace content
