#include "platform/image_decode.h"

#include <SDL.h>
#include <SDL_image.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

// libjpeg's headers need FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace VantorGL::platform {
namespace {

// ---------------------------------------------------------------------------
// JPEG. libjpeg reports errors through a callback that must not return: it jumps
// back to DecodeJpeg, whose only C++ object is the caller's `out`, so the jump
// skips no destructor.

struct JpegErrors {
  jpeg_error_mgr manager;  // first: libjpeg hands the callbacks a pointer to it
  std::jmp_buf jump;
};

[[noreturn]] void JpegFail(j_common_ptr codec) { std::longjmp(reinterpret_cast<JpegErrors*>(codec->err)->jump, 1); }

// The memory source warns once when the data runs out and then feeds an end
// marker, and the decoder fills every row it has no data for with grey: a file
// cut short, or still being written, would decode as a whole picture. That
// warning is a failure here; the others (damaged data the decoder works round)
// stay silent, as they always were.
void JpegMessage(j_common_ptr codec, int level) {
  if (level < 0 && codec->err->msg_code == JWRN_JPEG_EOF) JpegFail(codec);
}

bool DecodeJpeg(const uint8_t* data, size_t size, DecodedPixels& out) {
  jpeg_decompress_struct codec;
  JpegErrors errors;
  codec.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JpegFail;
  errors.manager.emit_message = JpegMessage;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&codec);
    return false;
  }
  jpeg_create_decompress(&codec);
  jpeg_mem_src(&codec, data, static_cast<unsigned long>(size));
  jpeg_read_header(&codec, TRUE);
  // Four-component files (CMYK, YCCK) come out as raw CMYK bytes, laid out as
  // SDL2_image lays them out: red Y, green M, blue C, alpha K.
  const bool cmyk = codec.num_components == 4;
  codec.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  codec.quantize_colors = FALSE;
  jpeg_start_decompress(&codec);
  const int channels = cmyk ? 4 : 3;
  const auto common = reinterpret_cast<j_common_ptr>(&codec);
  if (codec.output_width == 0 || codec.output_height == 0 || codec.output_components != channels) JpegFail(common);
  const size_t rowBytes = size_t{codec.output_width} * channels;
  bool allocated = true;
  try {
    out.pixels.resize(rowBytes * codec.output_height);
  } catch (const std::bad_alloc&) {
    allocated = false;
  }
  if (!allocated) JpegFail(common);
  while (codec.output_scanline < codec.output_height) {
    JSAMPROW row = out.pixels.data() + rowBytes * codec.output_scanline;
    jpeg_read_scanlines(&codec, &row, 1);
  }
  // Reads on to the end marker: a file that stops right after its last scan is
  // cut short too.
  jpeg_finish_decompress(&codec);
  out.width = static_cast<int>(codec.output_width);
  out.height = static_cast<int>(codec.output_height);
  out.channels = channels;
  jpeg_destroy_decompress(&codec);
  if (cmyk)
    for (size_t i = 0; i < out.pixels.size(); i += 4) std::swap(out.pixels[i], out.pixels[i + 2]);
  return true;
}

// ---------------------------------------------------------------------------
// Surfaces: packed RGB stays as it is, which saves a conversion pass; everything
// else (palettes, 16-bit, BGR orders) becomes byte-ordered RGBA. Frees `surface`.

bool CopySurface(SDL_Surface* surface, DecodedPixels& out) {
  if (!surface) return false;
  SDL_Surface* source = surface;
  int channels = 3;
  if (surface->format->format != SDL_PIXELFORMAT_RGB24) {
    channels = 4;
    if (surface->format->format != SDL_PIXELFORMAT_RGBA32) {
      source = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_RGBA32, 0);
      SDL_FreeSurface(surface);
      if (!source) return false;
    }
  }
  const bool ok = source->w > 0 && source->h > 0;
  if (ok) {
    out.width = source->w;
    out.height = source->h;
    out.channels = channels;
    const size_t rowBytes = static_cast<size_t>(source->w) * channels;
    out.pixels.resize(rowBytes * source->h);
    if (SDL_MUSTLOCK(source)) SDL_LockSurface(source);
    const auto* rows = static_cast<const uint8_t*>(source->pixels);
    for (int y = 0; y < source->h; ++y)
      std::memcpy(out.pixels.data() + rowBytes * y, rows + static_cast<size_t>(source->pitch) * y, rowBytes);
    if (SDL_MUSTLOCK(source)) SDL_UnlockSurface(source);
  }
  SDL_FreeSurface(source);
  return ok;
}

// Other formats (tests read PNG frames this way) through SDL2_image, one at a
// time: its loaders set its formats up in globals without a lock. Never
// destroyed: a loading thread may still decode while the process exits.
SDL_Surface* LoadWithSdlImage(SDL_RWops* rw, const char* type) {
  static std::mutex& loading = *new std::mutex;
  std::lock_guard lock(loading);
  return IMG_LoadTyped_RW(rw, 1, type);
}

}  // namespace

bool DecodePicture(const uint8_t* data, size_t size, const char* type, DecodedPixels& out) {
  if (!data || size == 0 || size > static_cast<size_t>(INT32_MAX) || !type) return false;
  DecodedPixels decoded;
  bool ok = false;
  if (std::strcmp(type, "JPG") == 0) {
    ok = DecodeJpeg(data, size, decoded);
  } else if (SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size))) {
    // SDL's own BMP reader, as SDL2_image calls it, shares nothing unlocked.
    ok = CopySurface(std::strcmp(type, "BMP") == 0 ? SDL_LoadBMP_RW(rw, 1) : LoadWithSdlImage(rw, type), decoded);
  }
  if (ok) out = std::move(decoded);
  return ok;
}

namespace {

// The encoder's output, in a buffer that is ours alone. (jpeg_mem_dest frees
// the buffer it handed out when it grows one and names the new one only at the
// end: after an error half way, the caller would hold a pointer already freed
// and the library's last buffer would be lost.)
struct JpegOutput {
  jpeg_destination_mgr manager;
  std::vector<uint8_t> bytes;
};
// The codec's client_data names it.
JpegOutput& OutputOf(j_compress_ptr codec) { return *static_cast<JpegOutput*>(codec->client_data); }

// `bytes` grown to `size`, or libjpeg's out-of-memory error, raised outside the
// handler: the jump must not leave an exception half handled.
void GrowOutput(j_compress_ptr codec, size_t size) {
  JpegOutput& out = OutputOf(codec);
  const size_t used = out.bytes.size();
  bool grown = true;
  try {
    out.bytes.resize(size);
  } catch (const std::bad_alloc&) {
    grown = false;
  }
  if (!grown) ERREXIT1(codec, JERR_OUT_OF_MEMORY, 10);
  out.manager.next_output_byte = out.bytes.data() + used;
  out.manager.free_in_buffer = size - used;
}
void StartOutput(j_compress_ptr codec) { GrowOutput(codec, 4096); }
// Called with the buffer full.
boolean MoreOutput(j_compress_ptr codec) {
  GrowOutput(codec, 2 * OutputOf(codec).bytes.size());
  return TRUE;
}
void EndOutput(j_compress_ptr codec) {
  JpegOutput& out = OutputOf(codec);
  out.bytes.resize(out.bytes.size() - out.manager.free_in_buffer);
}

}  // namespace

std::vector<uint8_t> EncodeJpeg(const uint8_t* pixels, int width, int height, int channels,
                                int quality) {
  if (!pixels || width <= 0 || height <= 0 || (channels != 3 && channels != 4)) return {};
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  // On the heap: what changes between setjmp and the jump lives behind a
  // pointer that does not.
  const auto output = std::make_unique<JpegOutput>();
  output->manager.init_destination = StartOutput;
  output->manager.empty_output_buffer = MoreOutput;
  output->manager.term_destination = EndOutput;
  jpeg_compress_struct codec;
  JpegErrors errors;
  codec.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JpegFail;
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&codec);
    return {};
  }
  jpeg_create_compress(&codec);
  codec.client_data = output.get();
  codec.dest = &output->manager;
  codec.image_width = static_cast<JDIMENSION>(width);
  codec.image_height = static_cast<JDIMENSION>(height);
  codec.input_components = 3;
  codec.in_color_space = JCS_RGB;
  jpeg_set_defaults(&codec);
  jpeg_set_quality(&codec, quality, TRUE);
  jpeg_start_compress(&codec, TRUE);
  while (codec.next_scanline < codec.image_height) {
    const uint8_t* source = pixels + static_cast<size_t>(codec.next_scanline) * width * channels;
    for (int x = 0; x < width; ++x) std::memcpy(&row[static_cast<size_t>(x) * 3], source + x * channels, 3);
    JSAMPROW rows = row.data();
    jpeg_write_scanlines(&codec, &rows, 1);
  }
  jpeg_finish_compress(&codec);
  jpeg_destroy_compress(&codec);
  return std::move(output->bytes);
}

}  // namespace VantorGL::platform
