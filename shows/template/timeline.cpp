#include "timeline.h"

#include <epoxy/gl.h>

#include <cstdio>
#include <optional>

#include "shell/audio_library.h"
#include "shell/debug_system.h"
#include "shell/exit.h"
#include "shell/timer.h"

namespace show {

using namespace VantorGL;

namespace {

// The makers' programs read --from and --to with the same reader, so a time
// means the same in the running order and on their command line.
int32_t MusicTime(const char* text, const std::string& what) {
  const std::optional<int32_t> ms = ReadMusicTime(text);
  if (!ms) {
    std::string cause = "running order: ";
    cause += what;
    cause += " \"";
    cause += text;
    cause += "\" is no music time like 0:06.0 or 0:06.25";
    ExitProgram(2, cause);
  }
  return *ms;
}

std::string Seconds(int64_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%03lld s", static_cast<long long>(ms / 1000), static_cast<long long>(ms % 1000));
  return text;
}

// A tune shorter than the show leaves its end silent (a capture's video too):
// said once, as the show starts.
void SayWhereTheMusicEnds(const VantorGL::MusicStream& music, int32_t showEndMs) {
  if (music.stream == 0) return;
  const uint64_t bytes = audio::ChannelGetLength(music.stream, audio::POS_BYTE);
  if (bytes == audio::kFail64) return;
  const int64_t endMs = static_cast<int64_t>(bytes / audio::kBytesPerFrame * 1000 / VantorGL::MusicStream::kMixRate);
  if (endMs >= showEndMs) return;
  std::string line = music.path;
  line += " ends at ";
  line += Seconds(endMs);
  line += ", before the show does at ";
  line += Seconds(showEndMs);
  line += ": the rest is silent (the tune's --seconds in CMakeLists.txt)";
  std::fprintf(stderr, "%s\n", line.c_str());
  cDebugSystem::Instance().Log("cTimeline", line);
}

}  // namespace

cTimeline::cTimeline() { AddScenes(); }

void cTimeline::Add(const std::string& name, const std::string& description, const char* from, const char* to,
                    std::unique_ptr<cShowScene> scene) {
  scene->windowStartMs = MusicTime(from, name + "'s start");
  scene->windowEndMs = MusicTime(to, name + "'s end");
  scene->assets = &assets;
  scene->musicStartMs = scene->windowStartMs;
  slots.push_back({name, description, std::move(scene)});
}

void cTimeline::End(const char* at) {
  windowStartMs = 0;
  windowEndMs = MusicTime(at, "the show's end");
}

int32_t cTimeline::Init() {
  assets.Load();
  for (Slot& slot : slots) {
    slot.scene->width = width;
    slot.scene->height = height;
    slot.scene->Init();
  }
  SayWhereTheMusicEnds(assets.music, windowEndMs);
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
