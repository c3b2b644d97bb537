#include "demo_scene.h"

#include <epoxy/gl.h>

#include <string>

#include "platform/audio_device.h"
#include "shell/debug_system.h"
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
  musicStart_.framesHanded = audio::DeviceFramesHanded();
  musicStart_.counterBefore = platform::AudioCounterNow();
  cTimer::Instance().Restart();
  registry.music.PlayFromStart();
  musicStart_.counterAfter = platform::AudioCounterNow();
  musicStart_.pending = registry.music.stream != 0;
  return 0;
}

void cDemoScene::SetWindows() {
  slideScene.SetTimeWindow("0:00.0", "1:00.0");
  startScene.SetTimeWindow("1:00.0", "1:30.0");
}

void cDemoScene::LogMusicStart() {
  const audio::StartStamp stamp = audio::ChannelStartStamp(registry.music.stream);
  if (stamp.counter == 0) return;  // not yet at the device
  musicStart_.pending = false;
  std::string line = "clock restarted and music played between counter ";
  line += std::to_string(musicStart_.counterBefore);
  line += " and ";
  line += std::to_string(musicStart_.counterAfter);
  line += " (";
  line += std::to_string(platform::AudioCounterFrequency());
  line += " a second) with ";
  line += std::to_string(musicStart_.framesHanded);
  line += " device frames handed; its first sample went out as device frame ";
  line += std::to_string(stamp.deviceFrame);
  cDebugSystem::Instance().Log("cDemoScene", line);
}

void cDemoScene::Update() {
  registry.music.FetchSpectrum();
  if (musicStart_.pending) LogMusicStart();
  RunUpdate(startScene);
  RunUpdate(slideScene);
}

void cDemoScene::Draw() {
  const bool startDraws = DrawsThisFrame(startScene);
  const bool slideDraws = DrawsThisFrame(slideScene);
  // Each scene clears the window itself before drawing on it (the water scene
  // after its passes into its targets), so a clear here would only repeat theirs.
  // On a software renderer a 4-sample window clear costs a sixth of a slide frame.
  if (!startDraws && !slideDraws) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
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
