#pragma once
// Two effects of the water scene that do in one pass what the fixed pipeline did
// in several, to the same bits.
//
// cLayerComposite: the water scene's last three window passes in one. The main
// view, its glow added on top (GL_ONE, GL_ONE) and the overlay picture blended
// over both (GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA) each cost a full-screen pass
// of a four-sample window on a software renderer; this effect samples all three
// at once and works out what the 8-bit window would have held after each pass:
// every layer rounded to 8 bits as the framebuffer rounds it, the glow added with
// saturation, the blend's products rounded as an exact (a * b) / 255. Its
// pictures are the three passes' bit for bit.
//
// The three layers lie on two quads that face the eye. Whichever quad is drawn,
// the other's texture coordinates follow from the corner positions by a scale;
// `derivedScale` gives it. Needs GLSL 1.30 (unsigned integers, roundEven): where
// the driver lacks GL_EXT_gpu_shader4 it is never built and the scene keeps its
// three passes. Main thread, context current.
#include "shaders/shader_system.h"

namespace VantorGL {

class cLayerComposite : public cShaderSystem {
 public:
  // Where the overlay's bytes come from. Its picture lies still in the window,
  // so its bytes at each pixel can be drawn once and read back every frame,
  // where the quad drawn is the overlay's own.
  enum class Overlay {
    kPicture,          // sampled from the overlay's picture
    kWriteBytes,       // the overlay alone: its bytes written out (as n / 255)
    kReadBytesAtPixel  // read from unit 2's texture at the window pixel drawn
  };
  explicit cLayerComposite(Overlay overlay = Overlay::kPicture)
      : cShaderSystem("cLayerComposite"), overlay_(overlay) {}

  // Entry points, both stages and the link; false, with the effect unusable,
  // where the driver cannot run it.
  bool Build();
  bool CreateVertexShader() override;
  bool CreateFragmentShader() override;

  // Makes the program current with the three layers' texture units (main view
  // on 0, glow on 1, overlay on 2). `drawingOverlayQuad`: the quad drawn carries
  // the overlay's texture coordinates, and the main view's are derived; else the
  // other way round. The caller binds the textures, draws, and makes program 0
  // current.
  void Apply(bool drawingOverlayQuad, float derivedScaleX, float derivedScaleY);

 private:
  GLint locMain_ = -1, locGlow_ = -1, locOverlay_ = -1;
  GLint locOverlayQuad_ = -1, locDerivedScale_ = -1;
  Overlay overlay_;
};

// cSkyViews: the sky dome into the three targets at once (a three-target
// cRenderTextureGroup). The main view's sky is the sky texture (the dome is drawn
// in white) times the normal map at the current second texture coordinate, which
// the fixed pipeline gave it with the logo's normal map left on unit 1; the glow's
// source and the mirrored view get it without the normal map. Sky texture on
// unit 0, normal map on unit 1; gl_FragData[0] the tinted sky, [1] and [2] the
// plain one. The dome gives no second coordinates, so the tint is looked up once
// a vertex. Built, as cLayerComposite, only where GL_EXT_gpu_shader4 is offered.
class cSkyViews : public cShaderSystem {
 public:
  cSkyViews() : cShaderSystem("cSkyViews") {}

  bool Build();
  bool CreateVertexShader() override;
  bool CreateFragmentShader() override;
  // Makes the program current with its texture units; the caller draws and makes
  // program 0 current.
  void Apply();

 private:
  GLint locSky_ = -1, locTint_ = -1;
};

}  // namespace VantorGL
