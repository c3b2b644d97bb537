#pragma once
// cSlideScene: what the audience sees for the whole show. A six-frame background
// cycling every 100 ms with the slide of the moment laid over it, rendered into a
// 1024 x 768 target and then drawn over the window. Slides and frames are the
// registry's textures "Slide0".."Slide55" and "Tex0".."Tex5".
#include "resources/render_texture_system.h"
#include "resources/texture_system.h"
#include "scenes/scene_system.h"

namespace VantorGL {

// The GL state both scenes set up in their Init (the water scene adds texturing).
void ApplySceneGlState();

// A picture with alpha laid over the view (slides, the overlay): blended, drawn
// mirrored vertically so that a top-row-first PNG appears upright.
void DrawMirroredPicture(cTextureSystem& picture);

class cSlideScene : public cSceneSystem {
 public:
  ~cSlideScene() override;
  int32_t Init() override;
  void Update() override;
  void Draw() override;

  // Background and slide, drawn into the current framebuffer.
  void DrawPicture();

  double slideTimeMs = 0;
  Camera camera;
  cRenderTextureSystem target;
  int32_t frame = 0;
  int32_t slide = 0;
  FontRecord outlineFont;

  // Time gathered towards the next background frame; one for the process.
  static float frameClockMs;
};

}  // namespace VantorGL
