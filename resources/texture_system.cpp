#include "resources/texture_system.h"

#include <epoxy/gl.h>
#include <unistd.h>

#include <optional>
#include <vector>

#include "platform/gl_extensions.h"
#include "resources/texture_images.h"
#include "shell/file_paths.h"
#include "shell/memory_pages.h"

namespace VantorGL {
namespace {

// The picture path builds its full path in a buffer of the reference platform's
// path limit, terminator included; longer paths fail instead of overflowing.
constexpr size_t kPathBuffer = 260;
// No image the program loads comes near this; larger files are not read at all.
constexpr size_t kMaxImageFileBytes = size_t{256} << 20;
// Above every side a picture can have: a result prepared for it holds for any
// context whose maximum is at least the result's largest side.
constexpr int kAnyMaxSize = 1 << 30;

}  // namespace

void cTextureSystem::SetClamp() {
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
}

void cTextureSystem::SetRepeat() {
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
}

void cTextureSystem::Bind() { glBindTexture(GL_TEXTURE_2D, texture); }

void cTextureSystem::Unbind() { glBindTexture(GL_TEXTURE_2D, 0); }

bool cTextureSystem::Load(std::string name) {
  glEnable(GL_TEXTURE_2D);
  const PreparedTexture prepared = PrepareFor(name, platform::MaxTextureSize());
  return prepared.image && Upload(*prepared.image, prepared.pngPath);
}

bool cTextureSystem::Load(const std::string& name, PreparedTexture&& prepared) {
  if (prepared.image && prepared.largestSide > platform::MaxTextureSize()) return Load(name);
  glEnable(GL_TEXTURE_2D);
  if (!prepared.image) return false;
  const bool loaded = Upload(*prepared.image, prepared.pngPath);
  FreePixels(prepared.image);
  return loaded;
}

void cTextureSystem::FreePixels(std::optional<TextureImage>& image) {
  // Made on a loading thread, the block could otherwise stay with that thread's
  // heap after it is freed on another, on top of the driver's copy; while freed
  // blocks are shared, it becomes the next texture's storage instead.
  if (image && !SharingFreedBlocks()) ReleasePages(image->pixels.data(), image->pixels.size());
  image.reset();
}

PreparedTexture cTextureSystem::Prepare(const std::string& name) { return PrepareFor(name, kAnyMaxSize); }

PreparedTexture cTextureSystem::PrepareFor(const std::string& name, int maxSize) {
  PreparedTexture prepared;
  // Nothing is fetched over a network: such names simply fail to load.
  if (name.find("http://") != std::string::npos) return prepared;

  if (name.find(".png") != std::string::npos) {
    prepared.pngPath = true;
    if (const auto bytes = ReadFileBytes(name, kMaxImageFileBytes))
      prepared.image = PreparePngTexture(bytes->data(), bytes->size(), maxSize, &prepared.largestSide);
    return prepared;
  }

  std::vector<char> cwd(4096);
  if (!getcwd(cwd.data(), cwd.size())) return prepared;
  const std::string full = std::string(cwd.data()) + "/" + name;
  if (full.size() >= kPathBuffer) return prepared;
  if (const auto bytes = ReadFileBytes(full, kMaxImageFileBytes))
    prepared.image = PreparePictureTexture(bytes->data(), bytes->size(), maxSize, &prepared.largestSide);
  return prepared;
}

bool cTextureSystem::LoadPngBytes(const uint8_t* data, size_t size) {
  const std::optional<TextureImage> image = PreparePngTexture(data, size, platform::MaxTextureSize());
  return image && Upload(*image, true);
}

bool cTextureSystem::LoadPictureBytes(const uint8_t* data, size_t size) {
  const std::optional<TextureImage> image = PreparePictureTexture(data, size, platform::MaxTextureSize());
  return image && Upload(*image, false);
}

bool cTextureSystem::Replace(const TextureImage& image, bool pngPath) {
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  bool replaced = true;
  if (texture == 0) {
    replaced = Upload(image, pngPath);
  } else {
    glBindTexture(GL_TEXTURE_2D, texture);
    UploadPixels(image);
  }
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
  return replaced;
}

bool cTextureSystem::Upload(const TextureImage& image, bool pngPath) {
  GLuint name = 0;
  glGenTextures(1, &name);
  if (name == 0) return false;
  glBindTexture(GL_TEXTURE_2D, name);
  FillBound(image, pngPath);
  texture = name;
  return true;
}

void cTextureSystem::FillBound(const TextureImage& image, bool pngPath) {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  // The PNG path clamps; the picture path leaves the default wrap (repeat).
  if (pngPath) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  }
  UploadPixels(image);
}

void cTextureSystem::UploadPixels(const TextureImage& image) {
  const GLenum format = image.channels == 3 ? GL_RGB : GL_RGBA;
  // RGB rows of odd widths are not 4-byte aligned; whatever unpack state the
  // caller set is put back afterwards.
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), image.width, image.height, 0, format,
               GL_UNSIGNED_BYTE, image.pixels.data());
  glPopClientAttrib();
}

}  // namespace VantorGL
