#include "demo_scene.h"

#include <epoxy/gl.h>

#include "shell/timer.h"

namespace VantorGL {

int32_t cDemoScene::Init() {
  registry.SetMusicFile();
  registry.LoadAll();
  startScene.resources = &registry;
  startScene.Init();
  slideScene.resources = &registry;
  slideScene.Init();
  SetWindows();

  // Show time 0 is the first sample of the music: nothing may come between these.
  cTimer::Instance().Restart();
  registry.music.PlayFromStart();
  return 0;
}

void cDemoScene::SetWindows() {
  slideScene.SetTimeWindow("0:00.0", "1:00.0");
  startScene.SetTimeWindow("1:00.0", "1:30.0");
}

void cDemoScene::Update() {
  registry.music.FetchSpectrum();
  RunUpdate(startScene);
  RunUpdate(slideScene);
}

void cDemoScene::Draw() {
  const bool startDraws = DrawsThisFrame(startScene);
  const bool slideDraws = DrawsThisFrame(slideScene);
  // The slide scene clears the window itself before drawing on it; when it is the
  // only scene drawing, a clear here would only repeat that one. On a software
  // renderer a 4-sample window clear costs a sixth of the frame.
  if (startDraws || !slideDraws) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  // The slide scene's picture is trusted from one frame to the next only while
  // that scene draws alone: the water scene leaves GL state behind that the
  // picture may depend on, and after a frame without the slide scene the window
  // showed something else.
  if (startDraws) slideScene.ForgetPicture();
  RunDraw(startScene);
  RunDraw(slideScene);
  if (startDraws || !slideDraws) slideScene.ForgetPicture();
}

void cDemoScene::ForgetPicture() {
  startScene.ForgetPicture();
  slideScene.ForgetPicture();
}

bool cDemoScene::PictureUnchanged() {
  return !DrawsThisFrame(startScene) && DrawsThisFrame(slideScene) && slideScene.PictureUnchanged();
}

}  // namespace VantorGL
