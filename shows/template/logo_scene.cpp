#include "logo_scene.h"

#include <epoxy/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstring>

namespace show {

using namespace VantorGL;

namespace {
constexpr int32_t kBeatMs = 500;  // 120 beats a minute (the music's --bpm)
}  // namespace

cLogoScene::~cLogoScene() { outline_.DeleteFontLists(); }

int32_t cLogoScene::Init() {
  turn_ = &assets->sync.Track("logo:turn");
  rise_ = &assets->sync.Track("title:rise");
  normalMapping_.InitEntryPoints();
  normalMapping_.CreateVertexShader();
  normalMapping_.CreateGeometryShader();
  normalMapping_.CreateFragmentShader();
  const PositionProperty light = assets->Position("Light");
  normalMapping_.lightPosition[0] = light.x;
  normalMapping_.lightPosition[1] = light.y;
  normalMapping_.lightPosition[2] = light.z;
  // Asked for here, so that they load with the show and can be loaded again.
  assets->Texture("Plates");
  assets->Texture("PlatesNormals");
  assets->Model("Logo");
  outline_.BuildOutlineFont();
  return 0;
}

void cLogoScene::Draw() {
  const int32_t ms = SceneMs();
  // The window's size may change (F1, the makers' --size): the projection is set every frame.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, static_cast<double>(width) / height, 1.0, 1000.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(0, 0, 150, 0, 0, 0, 0, 1, 0);
  glEnable(GL_DEPTH_TEST);
  DrawLogo(ms);
  const float rise = Track(*rise_);
  if (rise > 0) DrawTitle(rise);
}

void cLogoScene::DrawLogo(int32_t ms) {
  // Turned as its track says, tipped towards the camera; a little larger on each beat.
  const float pulse = 1.0f + 0.08f * std::exp(-static_cast<float>(ms % kBeatMs) / 120.0f);
  glPushMatrix();
  glTranslatef(0, 10, 0);
  glRotatef(Track(*turn_), 0, 1, 0);
  glRotatef(20, 1, 0, 0);
  glScalef(pulse, pulse, pulse);
  normalMapping_.colorTexture = assets->Texture("Plates");
  normalMapping_.normalTexture = assets->Texture("PlatesNormals");
  glColor4f(1, 1, 1, 1);
  normalMapping_.Apply();
  assets->Model("Logo").Draw();
  // Back to the fixed pipeline: no program, unit 1's normal map off, unit 0 active.
  if (normalMapping_.HasEntryPoints()) {
    normalMapping_.entryPoints().UseProgramObjectARB(0);
    glActiveTexture(GL_TEXTURE1);
    glDisable(GL_TEXTURE_2D);
    glActiveTexture(GL_TEXTURE0);
  }
  glDisable(GL_TEXTURE_2D);
  glPopMatrix();
}

void cLogoScene::DrawTitle(float rise) {
  // Rises into place as `rise` goes to 1, lit from the front.
  rise = std::min(1.0f, rise);
  const char* title = SHOW_TITLE;
  const size_t length = std::strlen(title);
  float width = 0;
  for (size_t i = 0; i < length; ++i) width += outline_.metrics[static_cast<unsigned char>(title[i])].advanceX;

  const ColorProperty colour = assets->Colour("Title");
  const GLfloat lightDirection[4] = {0.3f, 0.5f, 1.0f, 0.0f};
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glLightfv(GL_LIGHT0, GL_POSITION, lightDirection);
  glEnable(GL_COLOR_MATERIAL);
  glEnable(GL_NORMALIZE);
  glColor4f(colour.red, colour.green, colour.blue, 1.0f);
  glPushMatrix();
  glTranslatef(0, -50.0f - 32.0f * (1.0f - rise) * (1.0f - rise), 0);
  glScalef(16, 16, 16);
  glTranslatef(-width / 2, 0, 0);
  glListBase(outline_.outlineBase);
  glCallLists(static_cast<GLsizei>(length), GL_UNSIGNED_BYTE, title);
  glPopMatrix();
  glDisable(GL_NORMALIZE);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_LIGHTING);
}

}  // namespace show
