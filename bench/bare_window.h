#pragma once
// The baseline programs' window: what the production asks for (full screen,
// RGBA8, depth 16, 4 samples, double-buffered), made with plain SDL calls and
// nothing of the engine. Header-only: each bench/*.cpp is a program of its own.
#include <SDL.h>

namespace vantor_bench {

// The window with its context current, or false (both left null).
inline bool OpenBareWindow(const char* title, int width, int height, SDL_Window*& window,
                           SDL_GLContext& context) {
  SDL_Init(SDL_INIT_VIDEO);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 1);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 4);
  window = SDL_CreateWindow(title, 0, 0, width, height,
                            SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN | SDL_WINDOW_BORDERLESS);
  context = window ? SDL_GL_CreateContext(window) : nullptr;
  return context != nullptr;
}

}  // namespace vantor_bench
