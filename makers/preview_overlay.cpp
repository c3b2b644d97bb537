#include "makers/preview_overlay.h"

#include <epoxy/gl.h>

#include <algorithm>

namespace VantorGL::preview {
namespace {
constexpr int kTextHeight = 14;  // pixels
constexpr int kMargin = 6;
constexpr int kLineStep = kTextHeight + 4;
constexpr size_t kProblemLines = 8;  // a problem's first lines; the rest are on stderr
}  // namespace

void Overlay::SetProblem(const std::string& key, const std::string& text) {
  std::vector<std::string>& lines = problems_[key];
  lines.clear();
  size_t start = 0;
  while (start < text.size() && lines.size() < kProblemLines) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    // The font holds the printable ASCII characters alone.
    for (char& c : line)
      if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = '?';
    lines.push_back(std::move(line));
    start = end + 1;
  }
}

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

void Overlay::Draw(const std::string& line, int width, int height) {
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
  std::vector<std::string> lines;
  if (!line.empty()) lines.push_back(line);
  for (const auto& [key, problem] : problems_) lines.insert(lines.end(), problem.begin(), problem.end());
  const int advance = (kTextHeight * 6 + 5) / 10;  // DejaVu Sans Mono: 0.6 em a character
  const size_t fits = static_cast<size_t>(std::max(1, (width - kMargin * 2) / advance));
  size_t longest = 0;
  for (std::string& text : lines) {
    if (text.size() > fits) text.resize(fits);
    longest = std::max(longest, text.size());
  }
  const int boxRight = kMargin * 2 + advance * static_cast<int>(longest);
  const int boxBottom = height - (kLineStep * static_cast<int>(lines.size()) - 4 + kMargin * 2);
  glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
  glRecti(0, boxBottom, boxRight, height);
  glDisable(GL_BLEND);

  glListBase(font_.bitmapBase - 32);
  for (size_t i = 0; i < lines.size(); ++i) {
    // The problems in a warning's yellow, the clock's line in white.
    const bool problem = i > 0 || line.empty();
    glColor4f(1.0f, 1.0f, problem ? 0.3f : 1.0f, 1.0f);
    glWindowPos2i(kMargin, height - kMargin - kLineStep * static_cast<int>(i + 1) + 7);
    glCallLists(static_cast<GLsizei>(lines[i].size()), GL_UNSIGNED_BYTE, lines[i].data());
  }

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
