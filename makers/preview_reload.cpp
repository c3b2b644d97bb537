#include "makers/preview_reload.h"

#include <algorithm>

#include "shaders/shader_system.h"
#include "shell/file_paths.h"

namespace VantorGL::preview {

bool AssetWatch::Start(const std::vector<ReloadableAsset>& assets, std::string* error) {
  if (!watch_.ok()) {
    *error = watch_.error();
    return false;
  }
  for (const ReloadableAsset& asset : assets) {
    // The file the loader opens: the names mix "data/" and "Data/".
    const std::string path = ResolvePath(asset.file);
    if (!watch_.Add(path) &&
        std::find(unwatched_.begin(), unwatched_.end(), watch_.error()) == unwatched_.end())
      unwatched_.push_back(watch_.error());
    names_[path].push_back(asset.name);
  }
  return true;
}

std::vector<AssetWatch::Due> AssetWatch::TakeDue(Clock::time_point now) {
  for (const platform::FileWatch::Change& change : watch_.Poll()) {
    auto [it, fresh] = pending_.try_emplace(change.path);
    if (fresh) it->second.firstSeen = now;
    it->second.lastSeen = now;
    it->second.complete = it->second.complete || change.complete;
  }
  std::vector<Due> due;
  for (auto it = pending_.begin(); it != pending_.end();) {
    const Pending& p = it->second;
    if (p.complete || now - p.lastSeen >= std::chrono::milliseconds(kQuietMs)) {
      for (const std::string& name : names_[it->first]) due.push_back({name, it->first, p.firstSeen});
      it = pending_.erase(it);
    } else {
      ++it;
    }
  }
  return due;
}

std::vector<ReloadableAsset> EffectSources(const std::vector<ReloadableAsset>& showAssets) {
  std::vector<std::string> known;
  for (const ReloadableAsset& asset : showAssets) known.push_back(ResolvePath(asset.file));
  std::vector<ReloadableAsset> sources;
  for (const cShaderSystem* effect : cShaderSystem::Effects())
    for (const std::string& file : effect->sourceFiles()) {
      const std::string path = ResolvePath(file);
      if (std::find(known.begin(), known.end(), path) != known.end()) continue;
      known.push_back(path);
      sources.push_back({kEffectSource + file, file});
    }
  return sources;
}

std::vector<Rebuilt> RebuildEffectsReading(const std::string& file) {
  std::vector<Rebuilt> rebuilt;
  // A copy: an effect's build makes and ends no effect, but the list is not ours.
  const std::vector<cShaderSystem*> effects = cShaderSystem::Effects();
  for (cShaderSystem* effect : effects) {
    const std::vector<std::string>& files = effect->sourceFiles();
    if (std::none_of(files.begin(), files.end(), [&](const std::string& f) { return ResolvePath(f) == file; }))
      continue;
    const bool built = effect->Rebuild();
    std::string error = built ? std::string() : effect->buildError();
    if (!built && error.empty()) error = std::string(effect->className()) + ": the driver offers no shader objects";
    rebuilt.push_back({effect->className(), error});
  }
  return rebuilt;
}

}  // namespace VantorGL::preview
