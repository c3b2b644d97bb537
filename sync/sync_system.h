#pragma once
// cSyncSystem: a show's sync tracks, the values it tunes with a sync editor
// (GNU Rocket). A show asks for each track by name once, in its Init, and at
// every frame reads its value at the music's time:
//
//   const cSyncTrack& fade = sync.Track("title:fade");
//   ...
//   float f = sync.ValueAt(fade, musicMs);
//
// Rows come from the music's time through the tempo (beats per minute, rows
// per beat), which the show's property file may set (Configure). The keys come
// from the show's data: the editor's project file, or one track file per track
// read when the track is first asked for (sync/track_file.h). A track that is
// nowhere has no keys and reads 0; the debug log says so once. A damaged file
// ends the program with status 2 (the readers say how).
//
// Tracks keep their place from the first ask to the end: references stay
// valid, and TrackAt(i) is the i-th track asked for, the index the editor's
// messages use. Reading a value allocates nothing. Main thread only.
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sync/sync_track.h"

namespace VantorGL {

class cPropertySystem;

struct SyncTempo {
  double beatsPerMinute = 120;  // default when the property file sets none
  double rowsPerBeat = 8;       // default likewise

  double RowAt(double musicMs) const { return musicMs * (beatsPerMinute * rowsPerBeat / 60000.0); }
  double MsAtRow(double row) const { return row * (60000.0 / (beatsPerMinute * rowsPerBeat)); }
};

class cSyncSystem {
 public:
  // The names a show's property file uses: a SCALE entry whose XYZ holds the
  // beats per minute and the rows per beat, and a FILE entry naming where the
  // tracks are (a path ending in ".rocket" for a project file, otherwise the
  // base of the track files).
  static constexpr const char* kTempoName = "SyncRows";
  static constexpr const char* kTracksName = "SyncTracks";
  static constexpr const char* kDefaultTrackBase = "data/Sync/sync";

  // Takes the tempo and the tracks' place from `properties`; what they lack
  // keeps its default (120 beats per minute, 8 rows per beat, the track files
  // at kDefaultTrackBase). A tempo that is not a positive number is logged and
  // the default kept. Call before the first Track.
  void Configure(const cPropertySystem& properties);
  // Tracks from BASE_NAME.track files, each read at its first ask.
  void UseTrackFiles(std::string base);
  // Tracks from the editor's project file, read now (status 2 when damaged;
  // missing: every track without keys, logged once).
  void UseProject(const std::string& path);

  // The track `name`, made (and its keys read) at the first ask. Valid for the
  // life of this object.
  const cSyncTrack& Track(std::string_view name);
  // Its value at the music's time `musicMs`.
  float ValueAt(const cSyncTrack& track, double musicMs) const { return track.ValueAt(tempo.RowAt(musicMs)); }

  // The tracks in the order they were first asked for: the live editor's
  // edits and the export go through these.
  size_t TrackCount() const { return tracks_.size(); }
  cSyncTrack& TrackAt(size_t index) { return *tracks_[index]; }
  const cSyncTrack& TrackAt(size_t index) const { return *tracks_[index]; }
  // The file the track at `index` is saved to with track files, whatever the
  // source it was read from.
  std::string TrackFileOf(size_t index) const;
  // The project file the tracks are read from; "" when they come from track files.
  std::string ProjectFile() const { return fromProject_ ? projectPath_ : std::string(); }

  SyncTempo tempo;

 private:
  std::vector<SyncKey> KeysFor(const std::string& name);

  std::string trackBase_ = kDefaultTrackBase;
  bool fromProject_ = false;
  std::string projectPath_;
  bool projectFound_ = false;
  std::map<std::string, std::vector<SyncKey>, std::less<>> projectKeys_;
  std::vector<std::unique_ptr<cSyncTrack>> tracks_;
  std::map<std::string, size_t, std::less<>> byName_;
};

}  // namespace VantorGL
