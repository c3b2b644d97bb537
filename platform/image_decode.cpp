#include "platform/image_decode.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <cstring>
#include <mutex>

namespace VantorGL::platform {

bool DecodePicture(const uint8_t* data, size_t size, const char* type, DecodedPixels& out) {
  if (!data || size == 0 || size > static_cast<size_t>(INT32_MAX)) return false;
  SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size));
  if (!rw) return false;
  SDL_Surface* surface = nullptr;
  {
    // SDL_image sets its formats up in globals without a lock (each load calls
    // IMG_Init); pictures may be decoded on several loading threads. Never
    // destroyed: a loading thread may still decode while the process exits.
    static std::mutex& loading = *new std::mutex;
    std::lock_guard lock(loading);
    surface = IMG_LoadTyped_RW(rw, 1, type);
  }
  if (!surface) return false;
  if (surface->w <= 0 || surface->h <= 0) {
    SDL_FreeSurface(surface);
    return false;
  }

  // JPEG frames come as packed RGB: copied as they are, which saves a conversion
  // pass. Everything else (palettes, 16-bit, BGR orders) becomes byte-ordered RGBA.
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
  SDL_FreeSurface(source);
  return true;
}

std::vector<uint8_t> EncodeJpeg(const uint8_t* pixels, int width, int height, int channels,
                                int quality) {
  std::vector<uint8_t> result;
  if (!pixels || width <= 0 || height <= 0 || (channels != 3 && channels != 4)) return result;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint8_t*>(pixels), width, height, channels * 8, width * channels,
      channels == 3 ? SDL_PIXELFORMAT_RGB24 : SDL_PIXELFORMAT_RGBA32);
  if (!surface) return result;
  std::FILE* file = std::tmpfile();
  SDL_RWops* rw = file ? SDL_RWFromFP(file, SDL_TRUE) : nullptr;
  if (file && !rw) std::fclose(file);
  if (rw && IMG_SaveJPG_RW(surface, rw, 0, quality) == 0) {
    const Sint64 length = SDL_RWtell(rw);
    if (length > 0) {
      result.resize(static_cast<size_t>(length));
      SDL_RWseek(rw, 0, RW_SEEK_SET);
      if (SDL_RWread(rw, result.data(), 1, result.size()) != result.size()) result.clear();
    }
  }
  if (rw) SDL_RWclose(rw);
  SDL_FreeSurface(surface);
  return result;
}

}  // namespace VantorGL::platform
