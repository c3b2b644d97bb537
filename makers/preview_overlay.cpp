#include "makers/preview_overlay.h"

#include <epoxy/gl.h>

namespace VantorGL::preview {
namespace {
constexpr int kTextHeight = 14;  // pixels
constexpr int kMargin = 6;
}  // namespace

void Overlay::CountFrame() {
  const auto now = std::chrono::steady_clock::now();
  swaps_.push_back(now);
  while (swaps_.size() > 2 && now - swaps_.front() > std::chrono::seconds(1)) swaps_.pop_front();
}

double Overlay::FramesPerSecond() const {
  if (swaps_.size() < 2) return 0.0;
  const double seconds = std::chrono::duration<double>(swaps_.back() - swaps_.front()).count();
  return seconds > 0 ? static_cast<double>(swaps_.size() - 1) / seconds : 0.0;
}

void Overlay::Draw(const std::string& text, int width, int height) {
  if (!built_) {
    // A fixed-width face, so the figures do not shift as they change.
    font_.BuildBitmapFont("", "DejaVu Sans Mono", -kTextHeight);
    built_ = true;
  }

  // The scenes leave programs, targets, texture units and matrices as they
  // like; all of it is saved here and given back.
  GLint program = 0, framebuffer = 0, activeUnit = GL_TEXTURE0, units = 1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
  glGetIntegerv(GL_ACTIVE_TEXTURE, &activeUnit);
  glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glUseProgram(0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  for (GLint unit = 0; unit < units; ++unit) {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glDisable(GL_TEXTURE_2D);
  }
  glActiveTexture(GL_TEXTURE0);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, width, 0, height, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();

  glViewport(0, 0, width, height);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_POLYGON_SMOOTH);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  const int advance = (kTextHeight * 6 + 5) / 10;  // DejaVu Sans Mono: 0.6 em a character
  const int boxRight = kMargin * 2 + advance * static_cast<int>(text.size());
  const int boxBottom = height - (kTextHeight + kMargin * 2);
  glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
  glRecti(0, boxBottom, boxRight, height);
  glDisable(GL_BLEND);

  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glWindowPos2i(kMargin, boxBottom + kMargin + 3);
  glListBase(font_.bitmapBase - 32);
  glCallLists(static_cast<GLsizei>(text.size()), GL_UNSIGNED_BYTE, text.data());

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopAttrib();
  glActiveTexture(static_cast<GLenum>(activeUnit));
  glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(framebuffer));
  glUseProgram(static_cast<GLuint>(program));
}

}  // namespace VantorGL::preview
