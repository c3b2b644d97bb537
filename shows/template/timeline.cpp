#include "timeline.h"

#include <epoxy/gl.h>

#include "shell/timer.h"

namespace show {

using namespace VantorGL;

cTimeline::cTimeline() { AddScenes(); }

void cTimeline::Add(const std::string& name, const std::string& description, const char* from, const char* to,
                    std::unique_ptr<cShowScene> scene) {
  scene->SetTimeWindow(from, to);
  scene->assets = &assets;
  scene->musicStartMs = scene->windowStartMs;
  slots.push_back({name, description, std::move(scene)});
}

void cTimeline::End(const char* at) { SetTimeWindow("0:00.0", at); }

int32_t cTimeline::Init() {
  assets.Load();
  for (Slot& slot : slots) {
    slot.scene->width = width;
    slot.scene->height = height;
    slot.scene->Init();
  }
  // Show time 0 is the first sample of the music: nothing may come between these.
  cTimer::Instance().Restart();
  assets.music.PlayFromStart();
  return 0;
}

void cTimeline::Update() {
  for (Slot& slot : slots) RunUpdate(*slot.scene);
}

void cTimeline::Draw() {
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  for (Slot& slot : slots) RunDraw(*slot.scene);
}

}  // namespace show
