#include "platform/gl_procs.h"

#include <SDL.h>

#include <set>

namespace VantorGL::platform {
namespace {
std::set<std::string>& Hidden() {
  static std::set<std::string> hidden;
  return hidden;
}
}  // namespace

void* GetGlProcAddress(const char* name) {
  if (!name || Hidden().count(name)) return nullptr;
  return SDL_GL_GetProcAddress(name);
}

void HideGlProc(const std::string& name) { Hidden().insert(name); }
void ClearHiddenGlProcs() { Hidden().clear(); }

}  // namespace VantorGL::platform
