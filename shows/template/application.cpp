#include "application.h"

#include <epoxy/gl.h>

namespace show {

using namespace VantorGL;

void cShowApplication::ApplySettings() {
  title = SHOW_TITLE;
  fullscreen = true;
  width = 1280;
  height = 720;
  bitsPerPixel = 32;
  antiAliasing = true;
  samples = 4;
  nearPlane = 1.0f;
  farPlane = 1000.0f;
  showSetupDialog = false;
}

// One black frame while everything loads in Initialise.
bool cShowApplication::LoadStep() {
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  loading = false;
  return true;
}

bool cShowApplication::Initialise() {
  cWindowsSystem::Initialise();
  timeline.width = width;
  timeline.height = height;
  timeline.Init();
  return true;
}

bool cShowApplication::Update() {
  RunUpdate(timeline);
  return false;
}

bool cShowApplication::Draw() {
  RunDraw(timeline);
  return !timeline.IsFinished();
}

}  // namespace show
