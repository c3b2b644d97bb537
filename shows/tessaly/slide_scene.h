#pragma once
// cSlideScene: what the audience sees for the whole show. A six-frame background
// cycling every 100 ms with the slide of the moment laid over it, rendered into a
// 1024 x 768 target and then drawn over the window. Slides and frames are the
// registry's textures "Slide0".."Slide55" and "Tex0".."Tex5".
//
// The target is drawn again only when something its picture is made from has
// changed since it was last drawn: the background frame, the slide, the
// projection and viewport (a resize, a re-opened window), or when its owner says
// to forget it (a target or context made again, another scene's GL state, a
// texture loaded again). The
// window pass runs every frame: the back buffer is undefined after a swap.
#include <epoxy/gl.h>

#include "resources/render_texture_system.h"
#include "resources/texture_system.h"
#include "scenes/scene_system.h"

namespace VantorGL {

// The GL state both scenes set up in their Init (the water scene adds texturing).
void ApplySceneGlState();

// A picture with alpha laid over the view (slides, the overlay): blended, drawn
// mirrored vertically so that a top-row-first PNG appears upright.
void DrawMirroredPicture(cTextureSystem& picture);
// Its placement: the unit quad at this distance before the eye, scaled to these
// half sizes (wider than the view: the picture fills it), the rows mirrored.
inline constexpr float kPictureDistance = 3.65f;
inline constexpr float kPictureHalfWidth = 2.08f;
inline constexpr float kPictureHalfHeight = 1.56f;
void PlaceMirroredPicture();

class cSlideScene : public cSceneSystem {
 public:
  ~cSlideScene() override;
  int32_t Init() override;
  void Update() override;
  void Draw() override;
  bool PictureUnchanged() override;

  // The next Draw draws the target again, whatever it holds.
  void ForgetPicture() override { pictureDrawn_ = false; }

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

 private:
  // What the target's picture and the window pass are made from, besides GL
  // state that the scene sets itself.
  struct PictureKey {
    int32_t frame = 0;
    int32_t slide = 0;
    GLfloat projection[16] = {};
    GLint viewport[4] = {};
    bool operator==(const PictureKey&) const = default;
  };
  PictureKey CurrentKey() const;

  PictureKey drawnKey_;
  bool pictureDrawn_ = false;  // the target holds the picture of drawnKey_
};

}  // namespace VantorGL
