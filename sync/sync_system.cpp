#include "sync/sync_system.h"

#include <cmath>

#include "properties/property_system.h"
#include "shell/debug_system.h"
#include "sync/rocket_project.h"
#include "sync/track_file.h"

namespace VantorGL {

namespace {

constexpr const char* kSource = "cSyncSystem";

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool UsableTempo(double v) { return std::isfinite(v) && v > 0; }

}  // namespace

void cSyncSystem::Configure(const cPropertySystem& properties) {
  for (const ScaleProperty& scale : properties.scales) {
    if (scale.name != kTempoName) continue;
    if (UsableTempo(scale.x) && UsableTempo(scale.y)) {
      tempo.beatsPerMinute = scale.x;
      tempo.rowsPerBeat = scale.y;
    } else {
      cDebugSystem::Instance().Log(kSource, std::string(kTempoName) +
                                                ": beats per minute and rows per beat must be positive; "
                                                "keeping 120 and 8");
    }
    break;
  }
  if (const FileProperty* file = properties.FindFileRecord(kTracksName)) {
    if (EndsWith(file->fileName, ".rocket"))
      UseProject(file->fileName);
    else
      UseTrackFiles(file->fileName);
  }
}

void cSyncSystem::UseTrackFiles(std::string base) {
  trackBase_ = std::move(base);
  fromProject_ = false;
}

void cSyncSystem::UseProject(const std::string& path) {
  fromProject_ = true;
  projectPath_ = path;
  projectKeys_.clear();
  RocketProject project;
  projectFound_ = LoadRocketProject(path, project);
  if (!projectFound_) {
    cDebugSystem::Instance().Log(kSource, path + ": not found; every track has no keys");
    return;
  }
  for (RocketProject::Track& track : project.tracks) projectKeys_[track.name] = std::move(track.keys);
}

std::vector<SyncKey> cSyncSystem::KeysFor(const std::string& name) {
  std::vector<SyncKey> keys;
  if (fromProject_) {
    const auto found = projectKeys_.find(name);
    if (found != projectKeys_.end())
      keys = found->second;
    else if (projectFound_)  // a missing file was said once already
      cDebugSystem::Instance().Log(kSource, projectPath_ + " has no track \"" + name + "\"; it has no keys");
    return keys;
  }
  const std::string file = TrackFileName(trackBase_, name);
  if (!LoadTrackFile(file, keys)) cDebugSystem::Instance().Log(kSource, file + ": not found; the track has no keys");
  return keys;
}

const cSyncTrack& cSyncSystem::Track(std::string_view name) {
  const auto found = byName_.find(name);
  if (found != byName_.end()) return *tracks_[found->second];
  auto track = std::make_unique<cSyncTrack>(std::string(name));
  track->SetKeys(KeysFor(track->name()));
  byName_.emplace(track->name(), tracks_.size());
  tracks_.push_back(std::move(track));
  return *tracks_.back();
}

std::string cSyncSystem::TrackFileOf(size_t index) const { return TrackFileName(trackBase_, tracks_[index]->name()); }

}  // namespace VantorGL
