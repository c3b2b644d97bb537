#include "makers_show.h"

namespace VantorGL {
std::unique_ptr<IShow> CreateShow(platform::IWindowSystem* windowSystem) {
  return std::make_unique<show::cMakersShow>(windowSystem);
}
}  // namespace VantorGL

namespace show {

using namespace VantorGL;

cMakersShow::cMakersShow(platform::IWindowSystem* windowSystem) : ShowOf(windowSystem) {
  scenes_ = {{"show", "the whole show", timeline.windowStartMs, timeline.windowEndMs}};
  for (const cTimeline::Slot& slot : timeline.slots)
    scenes_.push_back({slot.name, slot.description, slot.scene->windowStartMs, slot.scene->windowEndMs});
}

std::vector<ShowScene> cMakersShow::Scenes() const { return scenes_; }

void cMakersShow::ChooseScene(size_t index) {
  if (index > 0 && index <= timeline.slots.size()) {
    // The chosen scene alone, its window moved to the start of the show.
    const cShowScene& chosen = *timeline.slots[index - 1].scene;
    const int32_t start = chosen.windowStartMs;
    for (cTimeline::Slot& slot : timeline.slots) {
      slot.scene->disabled = slot.scene.get() != &chosen;
      slot.scene->windowStartMs -= start;
      slot.scene->windowEndMs -= start;
    }
    timeline.windowEndMs = chosen.windowEndMs;
  }
  timelineStart_ = capture::SceneClock::Of(timeline);
  sceneStart_.clear();
  for (const cTimeline::Slot& slot : timeline.slots) sceneStart_.push_back(capture::SceneClock::Of(*slot.scene));
}

void cMakersShow::StandAt(int64_t frame, int fps) {
  // The timeline runs on every frame; the scenes while it runs.
  const bool runs = timelineStart_.StandAt(timeline, frame, fps, true);
  for (size_t i = 0; i < timeline.slots.size(); ++i) sceneStart_[i].StandAt(*timeline.slots[i].scene, frame, fps, runs);
  ForgetPicture();
}

bool cMakersShow::ReloadAsset(const std::string& name, std::string* error) {
  std::string ignored;
  return timeline.assets.Reload(name, error ? error : &ignored);
}

std::string cMakersShow::Where() const {
  std::string where;
  for (const cTimeline::Slot& slot : timeline.slots)
    if (DrawsThisFrame(*slot.scene)) where += (where.empty() ? "" : " + ") + slot.name;
  return where.empty() ? "-" : where;
}

}  // namespace show
