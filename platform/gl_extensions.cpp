#include "platform/gl_extensions.h"

#include <epoxy/gl.h>

#include <set>

namespace VantorGL::platform {
namespace {
std::set<std::string>& Hidden() {
  static std::set<std::string> hidden;
  return hidden;
}
}  // namespace

bool HasGlExtension(const char* name) {
  if (Hidden().count(name)) return false;
  return epoxy_has_gl_extension(name);
}

int GlVersion() { return epoxy_gl_version(); }

namespace {
int& TextureSizeLimit() {
  static int limit = 0;
  return limit;
}
}  // namespace

int MaxTextureSize() {
  GLint size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
  const int limit = TextureSizeLimit();
  return limit > 0 && limit < size ? limit : size;
}

void LimitMaxTextureSize(int size) { TextureSizeLimit() = size > 0 ? size : 0; }

void HideGlExtension(const std::string& name) { Hidden().insert(name); }
void ClearHiddenGlExtensions() { Hidden().clear(); }

}  // namespace VantorGL::platform
