#pragma once
// AssetWatch: which of the show's assets have a new version on disk. Follows
// every file the show can load again (IShow::ReloadableAssets) and the engine's
// effects' sources (EffectSources)
// through platform/file_watch.h and says when each is due: at once when its
// writer closed it or renamed it into place, else once nothing has written to
// it for kQuietMs (a writer that keeps the file open). Main thread only.
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "platform/file_watch.h"
#include "makers/show.h"

namespace VantorGL::preview {

class AssetWatch {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int kQuietMs = 150;

  struct Due {
    std::string name;                  // the asset, for IShow::ReloadAsset
    std::string file;                  // the path on disk
    Clock::time_point firstSeen;       // when its first change was read
  };

  // Follows the files of `assets` (IShow::ReloadableAssets). False with
  // `error` set when inotify is missing; the preview then runs without
  // reloading. A directory that cannot be watched now leaves the others
  // followed; unwatched() names it.
  bool Start(const std::vector<ReloadableAsset>& assets, std::string* error);
  // One line per directory that could not be watched at Start ("cannot watch
  // DIR: reason"). Its files are followed from when it can be.
  const std::vector<std::string>& unwatched() const { return unwatched_; }

  // The assets to load again now.
  std::vector<Due> TakeDue(Clock::time_point now);

 private:
  struct Pending {
    Clock::time_point firstSeen, lastSeen;
    bool complete = false;
  };
  platform::FileWatch watch_;
  std::map<std::string, std::vector<std::string>> names_;  // path on disk -> assets
  std::map<std::string, Pending> pending_;                 // path on disk -> its change
  std::vector<std::string> unwatched_;
};

// The source files of the engine's effects alive now (cShaderSystem::Effects)
// that `showAssets` do not name already (the show loads those itself), each
// as an asset named kEffectSource + the file.
inline constexpr const char* kEffectSource = "effect source ";
std::vector<ReloadableAsset> EffectSources(const std::vector<ReloadableAsset>& showAssets);

// Builds again every effect that reads `file` (a path on disk, as AssetWatch
// gives it), keeping each one's program in use where its new one fails.
struct Rebuilt {
  std::string effect;  // its class name
  std::string error;   // the driver's messages, led by file and line; empty: rebuilt
};
std::vector<Rebuilt> RebuildEffectsReading(const std::string& file);

}  // namespace VantorGL::preview
