#pragma once
// cStartScene: the 3D water scene. A camera circles a spinning, normal-mapped logo
// above a rippling Bezier water surface that reflects it, under a textured sky
// dome; the picture gets a bloom glow and the overlay picture on top. Every asset
// and effect belongs to the registry; the scene owns its clock, camera and targets.
// Its window (1:00.0 to 1:30.0) lies after the production's end: it is set up
// there but only runs when made always active (or previewed on its own).
#include <epoxy/gl.h>

#include "start_scene_effects.h"
#include "resources/render_texture_system.h"
#include "scenedata/evaluated_mesh.h"
#include "scenes/scene_system.h"

namespace VantorGL {

class cStartScene : public cSceneSystem {
 public:
  enum class View { kMirrored, kNormal };

  ~cStartScene() override;
  int32_t Init() override;
  void Update() override;
  void Draw() override;
  void ForgetPicture() override { overlayBytes_.written = false; }

  void RenderView(View view);
  void DrawLogo();
  // Texture matrix 7 := bias x projection x modelview; unit 7 is left active.
  void SetTextureProjection();
  void DrawWaterSurface();
  // Whether the skies and the window's layers go in one pass each (from the
  // first draw on; not where the driver lacks what the effects need).
  bool DrawsInFewerPasses() const { return allSkies.IsReady() && skies_.IsLinked() && layers_.IsLinked(); }

  double sceneTimeMs = 0;
  Camera camera;
  cRenderTextureSystem mainTarget;
  cRenderTextureSystem bloomSource;
  cRenderTextureSystem reflectionTarget;
  cRenderTextureSystem brightTarget;
  cRenderTextureSystem blurTarget;
  // What the five targets hold, set before the first draw. Bytes, as the window
  // does: a software renderer draws the scene a fifth faster, and the window's
  // picture lies within four levels of the half floats' (two in Tessaly's: the
  // glow's threshold doubles a byte's rounding). Half floats also keep a lit
  // logo's colour beyond 1 for the glow, where its picture comes near white.
  cRenderTextureSystem::Colour targetColour = cRenderTextureSystem::Colour::kByte;
  FontRecord outlineFont;

 private:
  void RenderPass(cRenderTextureSystem& target, View view);
  void RenderViews();
  template <class Target>
  void BeginPass(Target& target);
  template <class Target>
  void EndPass(Target& target);
  void DrawSkiesAtOnce();
  bool LogoLeavesItsNormalMap() const;
  void ClearAndPlaceCamera();
  void DrawSky();
  void DrawLogoWithEffect(View view);
  void DrawWater();
  void BloomPass(cRenderTextureSystem& target, GLuint source, float threshold);
  static void PlaceScreenQuad();
  void MakeTargets();
  void DrawLayersOneByOne();
  void DrawLayersAtOnce(const GLint view[4]);

  cRenderTexturePair mirroredSky;  // reflectionTarget and bloomSource drawn at once
  cRenderTexturePair normalViews;  // mainTarget and bloomSource drawn at once
  cRenderTextureGroup allSkies;    // mainTarget, reflectionTarget and bloomSource: the sky into all three
  cEvaluatedMesh waterMesh;        // the water patch, evaluated on its first draw
  bool targetsMade_ = false;       // the five targets and the pairs, on the first draw
  cLayerComposite layers_;         // built with the targets; unusable where the driver cannot run it
  cSkyViews skies_;                // likewise
  // The overlay's bytes at each window pixel, written by writeOverlayBytes_ and
  // read by layersOverBytes_ (see cLayerComposite::Overlay); written again when
  // the view, the projection or the picture differs, or after ForgetPicture.
  struct OverlayBytes {
    GLuint texture = 0, framebuffer = 0;
    GLint width = 0, height = 0;
    GLint view[4] = {};
    GLdouble projection[16] = {};
    GLuint picture = 0;
    bool written = false;
  } overlayBytes_;
  cLayerComposite writeOverlayBytes_{cLayerComposite::Overlay::kWriteBytes};
  cLayerComposite layersOverBytes_{cLayerComposite::Overlay::kReadBytesAtPixel};
  bool OverlayBytesFor(const GLint view[4], const GLint inside[4]);
};

}  // namespace VantorGL
