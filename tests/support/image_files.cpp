#include "tests/support/image_files.h"

#include <png.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

#include "platform/image_decode.h"

namespace vantor_test {

void RgbaPicture::Set(int x, int y, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  uint8_t* p = at(x, y);
  p[0] = r;
  p[1] = g;
  p[2] = b;
  p[3] = a;
}

void RgbaPicture::Fill(int x0, int y0, int x1, int y1, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) Set(x, y, r, g, b, a);
}

namespace {
void AppendBytes(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void NoFlush(png_structp) {}
[[noreturn]] void PngWriteError(png_structp, png_const_charp message) { throw std::runtime_error(message); }

void PutSample(std::vector<uint8_t>& row, size_t index, int depth, unsigned value8) {
  if (depth == 16) {
    row[index * 2] = static_cast<uint8_t>(value8);
    row[index * 2 + 1] = static_cast<uint8_t>(value8);
  } else if (depth == 8) {
    row[index] = static_cast<uint8_t>(value8);
  } else {
    const unsigned v = value8 >> (8 - depth);
    const size_t bit = index * depth;
    row[bit / 8] |= static_cast<uint8_t>(v << (8 - depth - bit % 8));
  }
}
}  // namespace

std::vector<uint8_t> EncodePng(const RgbaPicture& picture, const PngOptions& o) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngWriteError, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendBytes, NoFlush);
  if (o.filters != 0) png_set_filter(png, PNG_FILTER_TYPE_BASE, o.filters);
  png_set_IHDR(png, info, picture.width, picture.height, o.bitDepth, o.colorType,
               o.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);

  const int samples = o.colorType == 0 || o.colorType == 3 ? 1 : o.colorType == 2 ? 3 : o.colorType == 4 ? 2 : 4;
  std::map<uint32_t, int> paletteIndex;
  std::vector<png_color> palette;
  std::vector<png_byte> alpha;
  if (o.colorType == 3) {
    for (size_t i = 0; i < picture.rgba.size(); i += 4) {
      const uint32_t key = picture.rgba[i] | picture.rgba[i + 1] << 8 | picture.rgba[i + 2] << 16 |
                           static_cast<uint32_t>(picture.rgba[i + 3]) << 24;
      if (paletteIndex.count(key)) continue;
      paletteIndex[key] = static_cast<int>(palette.size());
      palette.push_back({picture.rgba[i], picture.rgba[i + 1], picture.rgba[i + 2]});
      alpha.push_back(picture.rgba[i + 3]);
    }
    if (palette.size() > 256) throw std::runtime_error("too many colours for a palette");
    png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (o.paletteAlpha) png_set_tRNS(png, info, alpha.data(), static_cast<int>(alpha.size()), nullptr);
  }

  const size_t rowBytes = (static_cast<size_t>(picture.width) * samples * o.bitDepth + 7) / 8;
  std::vector<std::vector<uint8_t>> rows(picture.height, std::vector<uint8_t>(rowBytes, 0));
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      const uint8_t* p = picture.rgba.data() + (static_cast<size_t>(y) * picture.width + x) * 4;
      const size_t base = static_cast<size_t>(x) * samples;
      switch (o.colorType) {
        case 0: PutSample(rows[y], base, o.bitDepth, p[0]); break;
        case 2: for (int c = 0; c < 3; ++c) PutSample(rows[y], base + c, o.bitDepth, p[c]); break;
        case 3: {
          const uint32_t key = p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
          PutSample(rows[y], base, o.bitDepth, static_cast<unsigned>(paletteIndex[key]) << (8 - o.bitDepth));
          break;
        }
        case 4: PutSample(rows[y], base, o.bitDepth, p[0]); PutSample(rows[y], base + 1, o.bitDepth, p[3]); break;
        default: for (int c = 0; c < 4; ++c) PutSample(rows[y], base + c, o.bitDepth, p[c]); break;
      }
    }
  }
  std::vector<png_bytep> pointers;
  for (auto& r : rows) pointers.push_back(r.data());
  png_write_info(png, info);
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<uint8_t> EncodeBmp(const RgbaPicture& picture) {
  const uint32_t rowBytes = (static_cast<uint32_t>(picture.width) * 3 + 3) & ~3u;
  const uint32_t dataBytes = rowBytes * picture.height;
  std::vector<uint8_t> out(54 + dataBytes, 0);
  auto put16 = [&](size_t at, uint32_t v) { out[at] = v & 0xFF; out[at + 1] = (v >> 8) & 0xFF; };
  auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF); put16(at + 2, v >> 16); };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, static_cast<uint32_t>(out.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, picture.width);
  put32(22, picture.height);
  put16(26, 1);
  put16(28, 24);
  put32(34, dataBytes);
  for (int y = 0; y < picture.height; ++y) {
    const int srcY = picture.height - 1 - y;  // bottom-up
    for (int x = 0; x < picture.width; ++x) {
      const uint8_t* p = picture.rgba.data() + (static_cast<size_t>(srcY) * picture.width + x) * 4;
      uint8_t* d = out.data() + 54 + static_cast<size_t>(y) * rowBytes + x * 3;
      d[0] = p[2];
      d[1] = p[1];
      d[2] = p[0];
    }
  }
  return out;
}

std::vector<uint8_t> EncodeJpegFile(const RgbaPicture& picture, int quality) {
  return VantorGL::platform::EncodeJpeg(picture.rgba.data(), picture.width, picture.height, 4, quality);
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::filesystem::path p(path);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

RgbaPicture PatternPicture(int width, int height, bool withAlpha, int seed) {
  RgbaPicture picture(width, height);
  uint32_t state = 0x9E3779B9u * static_cast<uint32_t>(seed + 1);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      const uint8_t noise = static_cast<uint8_t>(state >> 29);  // a little grain, as photos have
      const int band = ((x / 64) + (y / 48) + seed) % 5;
      picture.Set(x, y, static_cast<uint8_t>((x * 255 / width + noise) & 0xFF),
                  static_cast<uint8_t>((y * 255 / height + band * 40) & 0xFF),
                  static_cast<uint8_t>(((x + y) / 4 + seed * 13) & 0xFF),
                  withAlpha ? static_cast<uint8_t>(band == 0 ? 0 : 64 * band - 1) : 255);
    }
  }
  return picture;
}

}  // namespace vantor_test
