#include "slide_scene.h"

#include <epoxy/gl.h>

#include "registry.h"
#include "slide_schedule.h"
#include "shell/timer.h"

namespace VantorGL {

float cSlideScene::frameClockMs = 0.0f;

cSlideScene::~cSlideScene() { outlineFont.DeleteFontLists(); }

// The GL state both scenes start from.
void ApplySceneGlState() {
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glShadeModel(GL_SMOOTH);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_LINE_SMOOTH);
  glEnable(GL_POLYGON_SMOOTH);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  glClearDepth(1.0);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glEnable(GL_POLYGON_OFFSET_FILL);
}

int32_t cSlideScene::Init() {
  pictureDrawn_ = false;
  frame = 0;
  slide = 0;
  outlineFont.BuildOutlineFont();
  slideTimeMs = 0;
  target.Create(1024, 768, 1);
  ApplySceneGlState();

  camera.fieldOfView = 45;
  camera.aspect = 4.0 / 3.0;
  camera.nearDistance = static_cast<double>(0.01f);
  camera.farDistance = 10000;
  const double eye[3] = {0, 0, 0}, centre[3] = {0, 0, -1}, up[3] = {0, 1, 0};
  camera.SetLookAt(eye, centre, up);
  camera.ApplyCamera();
  return 0;
}

void cSlideScene::Update() {
  const int32_t delta = cTimer::Instance().deltaMs;
  slideTimeMs += delta;
  AdvanceBackgroundFrame(frameClockMs, delta, frame);
  slide = SlideForTime(slideTimeMs, slide);
}

cSlideScene::PictureKey cSlideScene::CurrentKey() const {
  PictureKey key;
  key.frame = frame;
  key.slide = slide;
  glGetFloatv(GL_PROJECTION_MATRIX, key.projection);
  glGetIntegerv(GL_VIEWPORT, key.viewport);
  return key;
}

bool cSlideScene::PictureUnchanged() { return pictureDrawn_ && CurrentKey() == drawnKey_; }

void cSlideScene::Draw() {
  glEnable(GL_MULTISAMPLE);
  const PictureKey key = CurrentKey();
  if (!pictureDrawn_ || key != drawnKey_) {
    target.Begin();
    glPushAttrib(GL_VIEWPORT_BIT);
    glViewport(0, 0, target.width, target.height);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawPicture();
    target.End();
    glPopAttrib();
    drawnKey_ = key;
    pictureDrawn_ = true;
  } else {
    // What drawing the picture leaves behind, so the window pass starts alike.
    glClearColor(0, 0, 0, 1);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
  }

  // The window pass: one flat quad over a cleared window, with nothing under it
  // to hide, so depth is neither cleared nor tested (its samples would all pass)
  // and the picture is the same. On a software renderer the 4-sample depth
  // clear alone costs a tenth of a frame that reuses the target.
  const GLboolean depthTest = glIsEnabled(GL_DEPTH_TEST);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_DEPTH_TEST);
  glLoadIdentity();
  glColor4f(1, 1, 1, 1);
  glTranslatef(0, 0, -3.8f);
  glScalef(2.08f, 1.56f, 0);
  glRotatef(0, 0, 1, 0);
  target.UseColorTexture();
  DrawUnitQuad();
  target.Unbind();
  if (depthTest) glEnable(GL_DEPTH_TEST);
  glDisable(GL_MULTISAMPLE);
}

void cSlideScene::DrawPicture() {
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  glColor4f(1, 1, 1, 1);
  glLoadIdentity();
  camera.ApplyLookAt();

  glColor4f(1, 1, 1, 1);
  glTranslatef(0, 0, -3.8f);
  glScalef(2.08f, 1.56f, 0);
  glRotatef(0, 0, 1, 0);
  resources->tex[frame].Bind();
  DrawUnitQuad();
  resources->tex[frame].Unbind();

  DrawMirroredPicture(resources->slides[slide]);
}

void PlaceMirroredPicture() {
  glLoadIdentity();
  glTranslatef(0, 0, -kPictureDistance);
  glScalef(kPictureHalfWidth, kPictureHalfHeight, 0);
  glRotatef(0, 0, 1, 0);
  glScalef(1, -1, 0);
}

void DrawMirroredPicture(cTextureSystem& picture) {
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_ALPHA_TEST);
  glEnable(GL_BLEND);
  glColor4f(1, 1, 1, 1);
  PlaceMirroredPicture();
  picture.Bind();
  DrawUnitQuad();
  picture.Unbind();
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_BLEND);
}

}  // namespace VantorGL
