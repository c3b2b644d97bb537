#pragma once
// cTextureSystem: one image file as one GL 2D texture. The object is a plain value
// holding the texture name; copies share the texture, and nothing deletes it (GL
// textures live until the context ends). Names containing ".png" take the PNG path,
// all others the picture path (see resources/texture_images.h for what each path
// does to size, rows and alpha). Main thread, GL context current; only Prepare,
// the reading and decoding half of Load, runs anywhere.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "resources/texture_images.h"

namespace VantorGL {

// An image file read and decoded for a texture ahead of Load (see Prepare).
struct PreparedTexture {
  std::optional<TextureImage> image;  // nothing: the load fails
  bool pngPath = false;
  int largestSide = 0;  // the result holds for every maximum texture size at least this
};

class cTextureSystem {
 public:
  // Binds the texture, then sets wrap S and T to GL_CLAMP.
  virtual void SetClamp();
  // Binds the texture, then sets wrap S and T to GL_REPEAT.
  virtual void SetRepeat();
  // Binds the texture to GL_TEXTURE_2D on the active unit (0: untextured).
  virtual void Bind();
  // Binds texture name 0 to GL_TEXTURE_2D.
  virtual void Unbind();

  // Makes a new texture from the file `name` (relative to the working directory)
  // and leaves it bound. GL_TEXTURE_2D is enabled either way. On failure (missing,
  // unreadable or broken file, too long a path, an "http://" name) `texture` keeps
  // its value and nothing is reported.
  bool Load(std::string name);
  // Load with the reading and decoding already done by Prepare(name): the same
  // results. Where the context's maximum texture size is below what `prepared`
  // holds for, the file is prepared again here. The pixels' memory goes back to
  // the system once they are uploaded.
  bool Load(const std::string& name, PreparedTexture&& prepared);
  // The half of Load that needs no GL: the file `name` read and decoded as Load
  // would for any maximum texture size of at least the result's largestSide. Any
  // thread; no context needed.
  static PreparedTexture Prepare(const std::string& name);

  // The two halves of Load after the file is read: the bytes of a PNG file, the
  // bytes of a picture file (JPEG, BMP, PNG). Same results as Load.
  bool LoadPngBytes(const uint8_t* data, size_t size);
  bool LoadPictureBytes(const uint8_t* data, size_t size);

  // A new picture, prepared for this context's maximum size, in the texture's own
  // GL name: every copy of the object shows it. One that has no name yet gets
  // one as Load makes it (the copies made before then still hold 0). Keeps the
  // wrap modes and the binding as they were.
  bool Replace(const TextureImage& image, bool pngPath);

  uint32_t texture = 0;  // GL texture name; 0 = nothing loaded

  // What Load does to a new texture, into the one bound on the current context:
  // its filters and wrap, then the pixels. Any thread with a context current
  // (see AssetsAhead::UploadThrough).
  static void FillBound(const TextureImage& image, bool pngPath);
  // A picture's pixels, once in their texture, freed as Load frees them.
  static void FreePixels(std::optional<TextureImage>& image);

 private:
  static PreparedTexture PrepareFor(const std::string& name, int maxSize);
  bool Upload(const TextureImage& image, bool pngPath);
  // The pixels into the bound texture's level 0.
  static void UploadPixels(const TextureImage& image);
};

}  // namespace VantorGL
