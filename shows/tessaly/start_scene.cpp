#include "start_scene.h"

#include <algorithm>
#include <cmath>

#include "platform/gl_extensions.h"
#include "registry.h"
#include "scenedata/geo_sphere.h"
#include "shell/debug_system.h"
#include "shell/timer.h"
#include "slide_scene.h"

namespace VantorGL {
namespace {
// The water: 8 x 8 control points at y = 0 over x, z in -896..896 (outer index x).
struct WaterPatch {
  GLfloat points[8][8][3];
  GLfloat texCoords[2][2][2] = {{{0, 0}, {0, 1}}, {{1, 0}, {1, 1}}};
  WaterPatch() {
    for (int i = 0; i < 8; ++i)
      for (int j = 0; j < 8; ++j) {
        points[i][j][0] = -896.0f + 256.0f * i;
        points[i][j][1] = 0.0f;
        points[i][j][2] = -896.0f + 256.0f * j;
      }
  }
};
const WaterPatch kWater;
}  // namespace

cStartScene::~cStartScene() { outlineFont.DeleteFontLists(); }

int32_t cStartScene::Init() {
  outlineFont.BuildOutlineFont();
  sceneTimeMs = 0;
  ApplySceneGlState();
  glEnable(GL_TEXTURE_2D);

  camera.fieldOfView = 45;
  camera.aspect = 4.0 / 3.0;
  camera.nearDistance = static_cast<double>(0.01f);
  camera.farDistance = 10000;
  const double eye[3] = {0, 10, -50}, centre[3] = {0, 0, -1}, up[3] = {0, 1, 0};
  camera.SetLookAt(eye, centre, up);
  camera.ApplyCamera();
  return 0;
}

void cStartScene::Update() { sceneTimeMs += cTimer::Instance().deltaMs; }

template <class Target>
void cStartScene::BeginPass(Target& target) {
  target.Begin();
  glPushAttrib(GL_VIEWPORT_BIT);
  glViewport(0, 0, target.width, target.height);
}

template <class Target>
void cStartScene::EndPass(Target& target) {
  target.End();
  glPopAttrib();
}

void cStartScene::RenderPass(cRenderTextureSystem& target, View view) {
  BeginPass(target);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  RenderView(view);
  EndPass(target);
}

// The mirrored view into reflectionTarget, the normal view into mainTarget and
// again into bloomSource, with what they have in common drawn once. bloomSource's
// sky is the mirrored view's; mainTarget's differs: the logo's effect leaves its
// normal map enabled on unit 1, which tints a sky drawn without a program right
// after the mirrored view, not one drawn after the water's Release. So the three
// skies go at once through an effect that tints the main view's (else one sky into
// reflectionTarget and bloomSource at once, the tinted one into mainTarget), and
// the normal view's logo and water, the costly part, into mainTarget and bloomSource
// at once. Where the driver cannot draw into two targets, the passes go one by one.
void cStartScene::RenderViews() {
  if (!mirroredSky.IsReady() || !normalViews.IsReady()) {
    RenderPass(reflectionTarget, View::kMirrored);
    RenderPass(mainTarget, View::kNormal);
    RenderPass(bloomSource, View::kNormal);
    return;
  }
  if (allSkies.IsReady() && skies_.IsLinked() && LogoLeavesItsNormalMap()) {
    DrawSkiesAtOnce();
    // Its own depth cleared serves the mirrored logo as the sky's would: the logo
    // lies nearer than the dome everywhere.
    BeginPass(reflectionTarget);
    glClear(GL_DEPTH_BUFFER_BIT);
    DrawLogoWithEffect(View::kMirrored);
    EndPass(reflectionTarget);
  } else {
    BeginPass(mirroredSky);
    ClearAndPlaceCamera();
    DrawSky();
    EndPass(mirroredSky);
    BeginPass(reflectionTarget);
    DrawLogoWithEffect(View::kMirrored);
    EndPass(reflectionTarget);

    BeginPass(mainTarget);
    ClearAndPlaceCamera();
    DrawSky();
    EndPass(mainTarget);
  }
  // Tested against mainTarget's depth, which its sky left as bloomSource's did.
  BeginPass(normalViews);
  DrawLogoWithEffect(View::kNormal);
  DrawWater();
  EndPass(normalViews);
}

// The targets' quad: at this distance before the eye, of these half sizes: just
// inside the view, so that the window's outermost pixels are only partly covered
// (by a third of a pixel at 1280 wide, under one pixel up to 3840).
constexpr float kScreenQuadDistance = 5.0f;
constexpr float kScreenQuadHalfWidth = 2.76f;
constexpr float kScreenQuadHalfHeight = 2.07f;
// The window's outer pixels, this many deep, that the one-pass layers draw apart.
constexpr GLint kEdgeRing = 2;
// The targets' coordinates on the overlay's quad.
constexpr float kOverlayQuadScaleX =
    kPictureHalfWidth * kScreenQuadDistance / (kPictureDistance * kScreenQuadHalfWidth);
constexpr float kOverlayQuadScaleY =
    -kPictureHalfHeight * kScreenQuadDistance / (kPictureDistance * kScreenQuadHalfHeight);

// What the tint needs: the logo's effect binds its normal map on unit 1 only with
// its program and the unit entry point, and a missing picture tints nothing.
bool cStartScene::LogoLeavesItsNormalMap() const {
  const cNormalMapping& effect = resources->normalMapping;
  return effect.HasEntryPoints() && effect.entryPoints().ActiveTextureARB && effect.normalTexture.texture != 0;
}

void cStartScene::DrawSkiesAtOnce() {
  BeginPass(allSkies);
  ClearAndPlaceCamera();
  glActiveTexture(GL_TEXTURE1);
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  glBindTexture(GL_TEXTURE_2D, resources->normalMapping.normalTexture.texture);
  glActiveTexture(GL_TEXTURE0);
  skies_.Apply();
  DrawSky();
  skies_.entryPoints().UseProgramObjectARB(0);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
  glActiveTexture(GL_TEXTURE0);
  EndPass(allSkies);
}

void cStartScene::PlaceScreenQuad() {
  glLoadIdentity();
  glColor4f(1, 1, 1, 1);
  glTranslatef(0, 0, -kScreenQuadDistance);
  glScalef(kScreenQuadHalfWidth, kScreenQuadHalfHeight, 0);
  glRotatef(0, 0, 1, 0);
}

void cStartScene::BloomPass(cRenderTextureSystem& target, GLuint source, float threshold) {
  cGaussianBlurShader& bloom = resources->gaussianBlurShader;
  target.Begin();
  glPushAttrib(GL_VIEWPORT_BIT);
  glViewport(0, 0, target.width, target.height);
  // The quad covers every pixel's centre of the one-sample target and is drawn
  // without blending: nothing of the target's old contents shows, so it is
  // neither cleared nor depth-tested.
  glDisable(GL_DEPTH_TEST);
  PlaceScreenQuad();
  bloom.sourceTexture = source;
  bloom.blurFactor = 2.5f;
  bloom.bloom = threshold;
  bloom.Apply();
  DrawUnitQuad();
  if (bloom.HasEntryPoints()) {
    bloom.entryPoints().UseProgramObjectARB(0);
    if (bloom.entryPoints().ActiveTextureARB) bloom.entryPoints().ActiveTextureARB(GL_TEXTURE0);
  }
  glEnable(GL_DEPTH_TEST);
  target.End();
  glPopAttrib();
}

// The targets hold some 47 MB that the driver zeroes as it makes them: made when the
// scene is first drawn, not for a show that never plays it. Making them binds
// their textures; what was bound is bound again, so the first frame is drawn as
// every other.
void cStartScene::MakeTargets() {
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  for (cRenderTextureSystem* t : {&mainTarget, &bloomSource, &reflectionTarget, &brightTarget, &blurTarget})
    t->Create(1024, 768, 0, targetColour);
  mirroredSky.Create(reflectionTarget, bloomSource);
  normalViews.Create(mainTarget, bloomSource);
  allSkies.Create(mainTarget, reflectionTarget, bloomSource);
  layers_.Build();
  // The overlay's bytes reach their texture through a blit.
  if (platform::HasGlExtension("GL_EXT_framebuffer_blit")) {
    writeOverlayBytes_.Build();
    layersOverBytes_.Build();
  }
  skies_.Build();
  cDebugSystem::Instance().Log("cStartScene", DrawsInFewerPasses()
                                                  ? "sky and window layers each drawn in one pass"
                                                  : "sky and window layers drawn pass by pass");
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
  targetsMade_ = true;
}

void cStartScene::Draw() {
  if (!targetsMade_) MakeTargets();
  glEnable(GL_MULTISAMPLE);
  RenderViews();  // the 3D passes

  BloomPass(brightTarget, bloomSource.colorTexture, 0.5f);
  BloomPass(blurTarget, brightTarget.colorTexture, 0.0f);

  // Each layer lies in front of the cleared depth and the later ones in front of
  // the earlier: the depth test would pass everywhere, and costs per sample. So
  // nothing below reads or writes the window's depth, and, as in the slide
  // scene's window pass, it is not cleared either (four samples a pixel).
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_DEPTH_TEST);
  GLint view[4];
  glGetIntegerv(GL_VIEWPORT, view);
  if (layers_.IsLinked() && view[2] > 2 * kEdgeRing && view[3] > 2 * kEdgeRing)
    DrawLayersAtOnce(view);
  else
    DrawLayersOneByOne();
  glEnable(GL_DEPTH_TEST);
  glColor4f(1, 1, 1, 1);
}

void cStartScene::DrawLayersOneByOne() {
  PlaceScreenQuad();
  mainTarget.UseColorTexture();
  DrawUnitQuad();
  mainTarget.Unbind();
  glBlendFunc(GL_ONE, GL_ONE);
  glEnable(GL_BLEND);
  blurTarget.UseColorTexture();
  DrawUnitQuad();
  blurTarget.Unbind();
  glDisable(GL_BLEND);
  glDisable(GL_MULTISAMPLE);

  DrawMirroredPicture(resources->overlayI);
}

// Inside, every sample of a pixel is covered by both quads and ends up the same:
// one pass over the overlay's quad, one sample a pixel, gives the three passes'
// bytes. The outermost pixels of the window are only partly covered by the
// targets' quad; there the samples it misses hold the overlay blended over the
// cleared black, the others the three layers. That ring is drawn apart,
// scissored: first the overlay over black as the last pass draws it, then the
// layers through the targets' quad with its samples.
void cStartScene::DrawLayersAtOnce(const GLint view[4]) {
  const GLint x = view[0], y = view[1], w = view[2], h = view[3], ring = kEdgeRing;
  // Left and right full height, bottom and top between them: the overlay is
  // blended, and must reach no pixel twice.
  const GLint strips[4][4] = {{x, y, ring, h},
                              {x + w - ring, y, ring, h},
                              {x + ring, y, w - 2 * ring, ring},
                              {x + ring, y + h - ring, w - 2 * ring, ring}};
  glPushAttrib(GL_SCISSOR_BIT);
  glEnable(GL_SCISSOR_TEST);
  glDisable(GL_MULTISAMPLE);
  for (const GLint* s : strips) {
    glScissor(s[0], s[1], s[2], s[3]);
    DrawMirroredPicture(resources->overlayI);
  }

  glActiveTexture(GL_TEXTURE1);
  blurTarget.UseColorTexture();
  glActiveTexture(GL_TEXTURE2);
  resources->overlayI.Bind();
  glActiveTexture(GL_TEXTURE0);
  mainTarget.UseColorTexture();

  // The targets' quad, its corners (+-1, +-1) carrying the targets' coordinates;
  // the overlay's at the same place on the screen.
  glEnable(GL_MULTISAMPLE);
  layers_.Apply(false, kScreenQuadHalfWidth * kPictureDistance / (kScreenQuadDistance * kPictureHalfWidth),
                -kScreenQuadHalfHeight * kPictureDistance / (kScreenQuadDistance * kPictureHalfHeight));
  PlaceScreenQuad();
  for (const GLint* s : strips) {
    glScissor(s[0], s[1], s[2], s[3]);
    DrawUnitQuad();
  }
  glDisable(GL_MULTISAMPLE);

  // The overlay's quad (it overfills the view) for the inside, its bytes read
  // back where they could be written.
  const GLint inside[4] = {x + ring, y + ring, w - 2 * ring, h - 2 * ring};
  cLayerComposite& layers = OverlayBytesFor(view, inside) ? layersOverBytes_ : layers_;
  if (&layers == &layersOverBytes_) {
    glActiveTexture(GL_TEXTURE2);
    glBindTexture(GL_TEXTURE_2D, overlayBytes_.texture);
    glActiveTexture(GL_TEXTURE0);
  }
  layers.Apply(true, kOverlayQuadScaleX, kOverlayQuadScaleY);
  glScissor(inside[0], inside[1], inside[2], inside[3]);
  PlaceMirroredPicture();
  DrawUnitQuad();
  layers.entryPoints().UseProgramObjectARB(0);
  glPopAttrib();

  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
}

// The overlay's bytes inside the ring, drawn through the overlay's quad into the
// window as the layers' pass draws it there (the same view, projection and
// samples), then blitted into a texture as large as the window up to the view's
// far corner, so that a pixel's bytes lie at its own window coordinates (a blit
// resolves a multisampled window, whose samples are alike here; a copy from one
// may be refused). The layers' pass then covers every pixel drawn. The overlay's
// picture is on unit 2. False where they cannot be had; the caller samples the
// picture then.
bool cStartScene::OverlayBytesFor(const GLint view[4], const GLint inside[4]) {
  OverlayBytes& bytes = overlayBytes_;
  if (!writeOverlayBytes_.IsLinked() || !layersOverBytes_.IsLinked()) return false;
  GLdouble projection[16];
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  const GLuint picture = resources->overlayI.texture;
  if (bytes.written && std::equal(view, view + 4, bytes.view) &&
      std::equal(projection, projection + 16, bytes.projection) && picture == bytes.picture)
    return true;

  const GLint width = view[0] + view[2], height = view[1] + view[3];
  if (bytes.texture == 0) {
    glGenTextures(1, &bytes.texture);
    glGenFramebuffersEXT(1, &bytes.framebuffer);
  }
  if (width != bytes.width || height != bytes.height) {
    glActiveTexture(GL_TEXTURE3);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glBindTexture(GL_TEXTURE_2D, bytes.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    glActiveTexture(GL_TEXTURE0);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, bytes.framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, bytes.texture, 0);
    const bool complete = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    bytes.width = complete ? width : 0;
    bytes.height = complete ? height : 0;
    if (!complete) return false;
  }

  writeOverlayBytes_.Apply(true, kOverlayQuadScaleX, kOverlayQuadScaleY);
  glScissor(inside[0], inside[1], inside[2], inside[3]);
  PlaceMirroredPicture();
  DrawUnitQuad();
  writeOverlayBytes_.entryPoints().UseProgramObjectARB(0);

  GLint drawBuffer = GL_BACK, readBuffer = GL_BACK;
  glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
  glGetIntegerv(GL_READ_BUFFER, &readBuffer);
  glReadBuffer(static_cast<GLenum>(drawBuffer));
  glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, bytes.framebuffer);
  const GLint x1 = inside[0] + inside[2], y1 = inside[1] + inside[3];
  glBlitFramebufferEXT(inside[0], inside[1], x1, y1, inside[0], inside[1], x1, y1, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, 0);
  glReadBuffer(static_cast<GLenum>(readBuffer));
  std::copy(view, view + 4, bytes.view);
  std::copy(projection, projection + 16, bytes.projection);
  bytes.picture = picture;
  bytes.written = true;
  return true;
}

void cStartScene::RenderView(View view) {
  ClearAndPlaceCamera();
  DrawSky();
  DrawLogoWithEffect(view);
  if (view == View::kMirrored) return;
  DrawWater();
}

void cStartScene::ClearAndPlaceCamera() {
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  const double a = sceneTimeMs / 5600.0;
  const double eye[3] = {50 * std::sin(a), 20, -50 * std::cos(a)};
  const double centre[3] = {0, 10, 0}, up[3] = {0, 1, 0};
  camera.SetLookAt(eye, centre, up);
}

void cStartScene::DrawSky() {
  glLoadIdentity();
  camera.ApplyLookAt();
  glColor4f(1, 1, 1, 1);
  glTranslated(camera.eye[0], -20, camera.eye[2]);
  resources->skyTexture.Bind();
  glPushMatrix();
  glScalef(1000, 200, 1000);
  DrawGeoSphere(1);
  glPopMatrix();
  resources->skyTexture.Unbind();
}

// The mirrored view turns the logo upside down about the water's plane.
void cStartScene::DrawLogoWithEffect(View view) {
  const float s = view == View::kMirrored ? -1.0f : 1.0f;
  glLoadIdentity();
  camera.ApplyLookAt();
  glColor4f(1, 1, 1, 1);
  glTranslatef(0, 10 * s, 0);
  glScalef(1, s, 1);

  cNormalMapping& normalMapping = resources->normalMapping;
  normalMapping.colorTexture = resources->scenery1Tex01;
  normalMapping.Apply();
  glPushMatrix();
  DrawLogo();
  glPopMatrix();
  if (normalMapping.HasEntryPoints()) {
    normalMapping.entryPoints().UseProgramObjectARB(0);
    if (normalMapping.entryPoints().ActiveTextureARB)
      normalMapping.entryPoints().ActiveTextureARB(GL_TEXTURE0);
  }
}

void cStartScene::DrawWater() {
  glLoadIdentity();
  camera.ApplyLookAt();
  glColor4f(1, 1, 1, 1);
  SetTextureProjection();
  cWaterShader& water = resources->waterShader;
  water.colorTexture = resources->waterTexture;
  water.reflectionTexture = reflectionTarget.colorTexture;
  water.refractionTexture = reflectionTarget.colorTexture;
  water.timer = static_cast<float>(sceneTimeMs);
  water.Apply();
  glPushMatrix();
  DrawWaterSurface();
  glPopMatrix();
  water.Release();
}

void cStartScene::DrawLogo() {
  glRotated(sceneTimeMs * static_cast<double>(0.01f), 1, 1, 0);
  glScalef(0.3f, 0.3f, 0.3f);
  resources->kmLogo.Draw();
}

void cStartScene::SetTextureProjection() {
  static const GLdouble kBias[16] = {0.5, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, 0.5, 0, 0.5, 0.5, 0.5, 1};
  GLdouble modelview[16], projection[16];
  glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glActiveTexture(GL_TEXTURE7);
  glMatrixMode(GL_TEXTURE);
  glLoadMatrixd(kBias);
  glMultMatrixd(projection);
  glMultMatrixd(modelview);
  glMatrixMode(GL_MODELVIEW);
}

void cStartScene::DrawWaterSurface() {
  // Evaluator maps are unit 0's state: GL refuses glMap2 while another unit is active
  // (the water effect leaves unit 3 active), and the patch would then never be defined.
  glActiveTexture(GL_TEXTURE0);
  if (!waterMesh.IsCaptured()) {
    glMap2f(GL_MAP2_VERTEX_3, 0, 1, 3, 8, 0, 1, 24, 8, &kWater.points[0][0][0]);
    glMap2f(GL_MAP2_TEXTURE_COORD_2, 0, 1, 2, 2, 0, 1, 4, 2, &kWater.texCoords[0][0][0]);
    glMapGrid2f(64, 0, 1, 64, 0, 1);
    // The patch never changes (the ripples are the water effect's): evaluated once.
    if (!waterMesh.Capture(64, 64)) {
      glEvalMesh2(GL_FILL, 0, 64, 0, 64);
      return;
    }
  }
  waterMesh.Draw();
}

}  // namespace VantorGL
