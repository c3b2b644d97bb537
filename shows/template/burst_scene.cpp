#include "burst_scene.h"

#include <epoxy/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

namespace show {

using namespace VantorGL;

namespace {
constexpr int kTargetWidth = 640;  // the glow is soft: a small target is enough
constexpr int kTargetHeight = 360;
constexpr float kGravity = -45.0f;  // units per s^2

// A fixed pseudo-random number in [0, 1) for particle i: the same every run.
float Spread(int32_t i, uint32_t salt) {
  uint32_t x = static_cast<uint32_t>(i) * 0x9E3779B1U ^ salt * 0x85EBCA77U;
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  return static_cast<float>(x >> 8) / 16777216.0f;
}

// The whole of a texture over the whole of the window or target, whatever the
// projection was.
void FullScreenQuad() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-1, 1, -1, 1, -2, 2);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  DrawUnitQuad();
}
}  // namespace

void cSparks::Place(int32_t ms) {
  const float t = static_cast<float>(ms) / 1000.0f;
  for (Particle& p : particles) {
    // Directions spread evenly over a sphere, speeds and spins varied.
    const float k = static_cast<float>(p.index) + 0.5f;
    const float y = 1.0f - 2.0f * k / static_cast<float>(particleCount);
    const float r = std::sqrt(1.0f - y * y), a = 2.39996f * k;
    const float speed = (35.0f + 40.0f * Spread(p.index, 1)) * strength;
    const float v[3] = {r * std::cos(a) * speed, y * speed + 20.0f, r * std::sin(a) * speed};
    for (int c = 0; c < 3; ++c) p.position[c] = v[c] * t;
    p.position[1] += 0.5f * kGravity * t * t;
    p.rotationAxis[0] = Spread(p.index, 2) - 0.5f;
    p.rotationAxis[1] = Spread(p.index, 3) - 0.5f;
    p.rotationAxis[2] = 0.3f;
    p.angle = 360.0f * Spread(p.index, 4) + 0.4f * static_cast<float>(ms);
    p.life = 1.0f - std::min(1.0f, static_cast<float>(ms) / kLifeMs);
    p.size = 0.5f + 1.1f * p.life * (0.5f + Spread(p.index, 5));
  }
}

void cSparks::DrawParticle() {
  if (!current) return;
  // White at birth, the hot colour, then dull red as the life runs out.
  const float life = current->life;
  const float toHot = std::clamp((1.0f - life) * 4.0f, 0.0f, 1.0f);
  const float toRed = std::clamp((0.6f - life) / 0.6f, 0.0f, 1.0f);
  float c[3];
  const float red[3] = {0.7f, 0.1f, 0.05f};
  for (int i = 0; i < 3; ++i) c[i] = (1 + (hot[i] - 1) * toHot) * (1 - toRed) + red[i] * toRed;
  glColor4f(c[0], c[1], c[2], 1.0f);
  cParticleSystem::DrawParticle();
}

int32_t cBurstScene::Init() {
  burst_ = &assets->sync.Track("sparks:burst");
  glow_ = &assets->sync.Track("bloom:glow");
  sparks_.Init();
  const ColorProperty hot = assets->Colour("Sparks");
  sparks_.hot[0] = hot.red;
  sparks_.hot[1] = hot.green;
  sparks_.hot[2] = hot.blue;
  bloom_.InitEntryPoints();
  bloom_.CreateVertexShader();
  bloom_.CreateBloomShader(kTargetWidth, kTargetHeight);
  for (cRenderTextureSystem* t : {&picture_, &bright_, &blurred_}) t->Create(kTargetWidth, kTargetHeight, 1);
  return 0;
}

// A burst on the window's opening and another three seconds in.
void cBurstScene::Update() {
  sparks_.strength = Track(*burst_);
  sparks_.Place(SceneMs() % cSparks::kLifeMs);
}

void cBurstScene::Bloom(cRenderTextureSystem& target, GLuint source, float threshold, float taps) {
  target.Begin();
  glPushAttrib(GL_VIEWPORT_BIT);
  glViewport(0, 0, target.width, target.height);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  bloom_.sourceTexture = source;
  bloom_.blurFactor = taps;
  bloom_.bloom = threshold;
  bloom_.Apply();
  FullScreenQuad();
  if (bloom_.HasEntryPoints()) bloom_.entryPoints().UseProgramObjectARB(0);
  glDisable(GL_TEXTURE_2D);
  target.End();
  glPopAttrib();
}

void cBurstScene::Draw() {
  // The sparks into the picture's target.
  picture_.Begin();
  glPushAttrib(GL_VIEWPORT_BIT);
  glViewport(0, 0, picture_.width, picture_.height);
  glClearColor(0.01f, 0.01f, 0.03f, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, static_cast<double>(kTargetWidth) / kTargetHeight, 1.0, 1000.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(0, 0, 170, 0, 0, 0, 0, 1, 0);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  sparks_.DrawAllParticles();
  picture_.End();
  glPopAttrib();

  // The glow: what is bright, blurred three times over ever wider taps.
  glDisable(GL_DEPTH_TEST);
  Bloom(bright_, picture_.colorTexture, 0.4f, 1.5f);
  Bloom(blurred_, bright_.colorTexture, 0.0f, 3.0f);
  Bloom(bright_, blurred_.colorTexture, 0.0f, 6.0f);
  Bloom(blurred_, bright_.colorTexture, 0.0f, 12.0f);

  // The picture, and the glow added over it as often as its track says (a
  // fraction of a time as a dimmer pass; at most 8 times).
  glColor4f(1, 1, 1, 1);
  glEnable(GL_TEXTURE_2D);
  picture_.UseColorTexture();
  FullScreenQuad();
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  blurred_.UseColorTexture();
  for (float left = std::min(Track(*glow_), 8.0f); left > 0; left -= 1) {
    const float pass = std::min(left, 1.0f);
    glColor4f(pass, pass, pass, 1);
    FullScreenQuad();
  }
  glColor4f(1, 1, 1, 1);
  glDisable(GL_BLEND);
  blurred_.Unbind();
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
}

}  // namespace show
