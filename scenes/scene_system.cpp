#include "scenes/scene_system.h"

#include <epoxy/gl.h>
#include <GL/glu.h>

#include <string>

#include "shell/timer.h"

namespace VantorGL {
namespace {
int32_t DigitsValue(const std::string& buffer) {
  int64_t v = 0;
  for (char c : buffer) {
    if (c < '0' || c > '9') break;  // like atoi: a field reads up to its first non-digit
    v = v * 10 + (c - '0');
    if (v > INT32_MAX) return INT32_MAX;
  }
  return static_cast<int32_t>(v);
}

// 32-bit wrapping arithmetic: long texts must not be undefined behaviour.
int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

bool InWindow(const cSceneSystem& s, int32_t elapsedMs) {
  return (s.windowStartMs <= elapsedMs && elapsedMs <= s.windowEndMs) || s.alwaysActive;
}
bool InWindow(const cSceneSystem& s) { return InWindow(s, s.elapsedMs); }

void TakeOrigin(cSceneSystem& s) {
  if (s.firstFrame) {
    s.originMs = cTimer::Instance().nowMs;
    s.firstFrame = false;
  }
}
}  // namespace

int32_t ParseMusicTime(std::string_view text) {
  int32_t total = 0;
  std::string buffer;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ':') {
      total = Wrap(int64_t{DigitsValue(buffer)} * 60);
      buffer.clear();
    } else if (c == '.') {
      total = Wrap((int64_t{total} + DigitsValue(buffer)) * 1000);
      buffer.clear();
    } else {
      buffer.push_back(c);
      if (i + 1 == text.size()) {
        total = Wrap(int64_t{total} + DigitsValue(buffer));
        buffer.clear();
      }
    }
  }
  return total;
}

std::optional<int32_t> ReadMusicTime(std::string_view text) {
  auto digits = [](std::string_view part) {
    if (part.empty()) return false;
    for (char c : part)
      if (c < '0' || c > '9') return false;
    return true;
  };
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || text.size() < colon + 5 || text[colon + 3] != '.') return std::nullopt;
  const std::string_view minutes = text.substr(0, colon);
  const std::string_view seconds = text.substr(colon + 1, 2);
  const std::string_view fraction = text.substr(colon + 4);
  // Up to 999 minutes keeps every time far inside 32 bits.
  if (minutes.size() > 3 || !digits(minutes) || !digits(seconds) || !digits(fraction)) return std::nullopt;
  const int32_t s = (seconds[0] - '0') * 10 + (seconds[1] - '0');
  if (s >= 60) return std::nullopt;
  int32_t m = 0;
  for (char c : minutes) m = m * 10 + (c - '0');
  int32_t ms = 0;
  for (size_t i = 0; i < 3; ++i) ms = ms * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
  return (m * 60 + s) * 1000 + ms;
}

void DrawUnitQuad() {
  glBegin(GL_TRIANGLE_STRIP);
  glTexCoord2f(0, 0); glVertex3f(-1, -1, 1);
  glTexCoord2f(1, 0); glVertex3f(1, -1, 1);
  glTexCoord2f(0, 1); glVertex3f(-1, 1, 1);
  glTexCoord2f(1, 1); glVertex3f(1, 1, 1);
  glEnd();
}

void Camera::SetLookAt(const double e[3], const double c[3], const double u[3]) {
  for (int i = 0; i < 3; ++i) {
    eye[i] = e[i];
    centre[i] = c[i];
    up[i] = u[i];
  }
}

void Camera::ApplyCamera() const {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(fieldOfView, aspect, nearDistance, farDistance);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  ApplyLookAt();
}

void Camera::ApplyLookAt() const {
  gluLookAt(eye[0], eye[1], eye[2], centre[0], centre[1], centre[2], up[0], up[1], up[2]);
}

cSceneSystem::~cSceneSystem() { font.DeleteFontLists(); }

void cSceneSystem::SetTimeWindow(std::string_view startText, std::string_view endText) {
  windowEndMs = ParseMusicTime(endText);
  windowStartMs = ParseMusicTime(startText);
}

void RunUpdate(cSceneSystem& scene) {
  TakeOrigin(scene);
  scene.elapsedMs = Wrap(int64_t{cTimer::Instance().nowMs} - scene.originMs);
  if (scene.disabled) return;
  if (InWindow(scene)) {
    scene.activeMs = Wrap(int64_t{scene.activeMs} + cTimer::Instance().deltaMs);
    scene.Update();
  }
}

bool DrawsThisFrame(const cSceneSystem& scene) {
  if (scene.disabled) return false;
  // A scene not run yet takes its origin in this draw: its time is then 0.
  return InWindow(scene, scene.firstFrame ? 0 : scene.elapsedMs);
}

void RunDraw(cSceneSystem& scene) {
  if (scene.firstFrame) {
    TakeOrigin(scene);
    scene.elapsedMs = 0;
  }
  if (scene.disabled) return;
  if (InWindow(scene)) scene.Draw();
}

}  // namespace VantorGL
