#pragma once
// The sync editor's export (its "save tracks") as the preview carries it out:
// every track of the show into its track file in the show's data, where the
// player and the capture read it, and into the same place under the folders
// the show's build copies its data from (recorded in the stage by
// vantorgl_add_show), so that the next build of the stage copies the edited
// files back unchanged instead of the old ones. Main thread.
#include <string>
#include <vector>

#include "sync/sync_system.h"

namespace VantorGL::sync {

// The record in the stage: one folder a line, absolute, in the build's order.
inline constexpr const char* kSourcesRecord = "vantorgl-sources.txt";

// The folders in the record in the working directory; none without one.
std::vector<std::string> RecordedSourceFolders();

// Writes the files (each whole or not at all); the line that says where they
// went, or what failed. `ok` is false when any file could not be written.
std::string ExportTracks(const cSyncSystem& sync, const std::vector<std::string>& sourceFolders, bool& ok);

}  // namespace VantorGL::sync
