#pragma once
// cRenderTextureSystem: an off-screen target. A framebuffer object with an RGBA16F
// (or RGBA8) colour texture and a depth renderbuffer, plus a separate depth
// texture that CopyDepth fills from the current read framebuffer. Scenes create their targets in
// their own initialisation; the objects live until the context ends. Viewport
// handling belongs to the caller. Main thread, GL context current.
#include <cstdint>

namespace VantorGL {

class cRenderTextureSystem {
 public:
  // Makes the GL objects. `filter`: 0 nearest, 1 linear, anything else leaves the
  // colour texture's default filters. Without GL_EXT_framebuffer_object it shows
  // the "Error" box and ends the program with status 99. False, with one log
  // line, when the driver finds the framebuffer incomplete (a size or format it
  // cannot render to); the objects are kept either way.
  virtual bool Create(int32_t width, int32_t height, int32_t filter);
  // What the colour texture holds: half floats (values beyond 0..1 kept), or a
  // byte a channel, as the window does; a software renderer samples bytes with
  // nearest filtering several times faster.
  enum class Colour { kHalfFloat, kByte };
  bool Create(int32_t width, int32_t height, int32_t filter, Colour colour);
  // Makes the target the current framebuffer (colour texture attached again).
  virtual void Begin();
  // Returns to the window's framebuffer.
  virtual void End();
  // Binds texture 0 to GL_TEXTURE_2D.
  virtual void Unbind();
  virtual void UseColorTexture();
  virtual void UseDepthTexture();
  // Copies the current read framebuffer's rectangle (0, 0, width, height) into the
  // depth texture, leaving it bound.
  virtual void CopyDepth();

  uint32_t colorTexture = 0;
  uint32_t depthTexture = 0;
  uint32_t depthBuffer = 0;  // renderbuffer
  uint32_t frameBuffer = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// cRenderTextureGroup: two or three targets of one size drawn at once. Its
// framebuffer holds the targets' colour textures as draw buffers 0, 1 (and 2), in
// the order given, and the first target's depth renderbuffer. The fixed
// pipeline's colour (or gl_FragColor) goes to every target; a program's
// gl_FragData[i] to the i-th. The targets must outlive it. Main thread.
class cRenderTextureGroup {
 public:
  // False, with nothing made, where the driver offers fewer draw buffers than
  // targets or cannot render to the group; the caller then draws into each
  // target alone.
  bool Create(const cRenderTextureSystem& first, const cRenderTextureSystem& second);
  bool Create(const cRenderTextureSystem& first, const cRenderTextureSystem& second,
              const cRenderTextureSystem& third);
  bool IsReady() const { return frameBuffer != 0; }
  void Begin();
  void End();

  int32_t width = 0;
  int32_t height = 0;

 private:
  bool Make(const cRenderTextureSystem* const* targets, int count);

  uint32_t frameBuffer = 0;
};

// The two-target group by its first name.
using cRenderTexturePair = cRenderTextureGroup;

}  // namespace VantorGL
