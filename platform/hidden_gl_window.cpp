#include "platform/hidden_gl_window.h"

#include <SDL.h>

#include "platform/sdl_window_system.h"

namespace VantorGL::platform {

HiddenGlWindow::~HiddenGlWindow() { Close(); }

bool HiddenGlWindow::Open(int width, int height, int samples) {
  Close();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error_ = SDL_GetError();
    return false;
  }
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, samples > 0 ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples);
  SDL_Window* w = SDL_CreateWindow("VantorGL", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                   width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!w) {
    error_ = SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  SDL_GLContext c = SDL_GL_CreateContext(w);
  if (!c) {
    error_ = SDL_GetError();
    SDL_DestroyWindow(w);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  SDL_GL_MakeCurrent(w, c);
  window_ = w;
  context_ = c;
  return true;
}

void HiddenGlWindow::Close() {
  if (context_) {
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), nullptr);
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    context_ = nullptr;
  }
  if (window_) {
    SDL_DestroyWindow(static_cast<SDL_Window*>(window_));
    window_ = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
}

void HiddenGlWindow::Swap() {
  if (window_) SDL_GL_SwapWindow(static_cast<SDL_Window*>(window_));
}

std::unique_ptr<SharedContext> HiddenGlWindow::MakeSharedContext() { return ShareSdlContext(window_, context_); }

}  // namespace VantorGL::platform
