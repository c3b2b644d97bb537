#include "tests/support/rgb_pictures.h"

#include "platform/image_decode.h"
#include "shell/file_paths.h"
#include "tests/support/x_windows.h"

namespace vantor_test {

Rgb GrabRgb(const std::string& windowId) {
  const VantorGL::TextureImage picture = GrabWindow(windowId);
  Rgb out{picture.width, picture.height, {}};
  for (size_t i = 0; i + 2 < picture.pixels.size(); i += picture.channels)
    out.px.insert(out.px.end(), &picture.pixels[i], &picture.pixels[i] + 3);
  return out;
}

Rgb LoadPng(const std::string& path) {
  Rgb out;
  const auto bytes = VantorGL::ReadFileBytes(path);
  VantorGL::platform::DecodedPixels d;
  if (!bytes || !VantorGL::platform::DecodePicture(bytes->data(), bytes->size(), "PNG", d)) return out;
  out.width = d.width;
  out.height = d.height;
  for (size_t i = 0; i < d.pixels.size(); i += d.channels) out.px.insert(out.px.end(), &d.pixels[i], &d.pixels[i] + 3);
  return out;
}

}  // namespace vantor_test
