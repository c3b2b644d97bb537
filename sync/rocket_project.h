#pragma once
// The sync editor's (GNU Rocket's) project file, ".rocket": XML with a root
// <sync rows="N"> holding <tracks>, holding <track name="...">, holding
// <key row="R" value="V" interpolation="I"/>. Other elements and attributes
// the editor writes (bookmarks, a track's colour or folding) are passed over.
// Read with expat; a document type declaration is refused, so no entity of the
// file's own is ever expanded. Any thread; nothing is kept between calls.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sync/sync_track.h"

namespace VantorGL {

struct RocketProject {
  struct Track {
    std::string name;
    std::vector<SyncKey> keys;  // sorted by row
  };
  uint32_t rows = 0;  // the editor's length in rows; 0 when not given
  std::vector<Track> tracks;  // in the file's order
};

// Reads a whole project file's text into `project`. Returns what is wrong,
// starting with its line ("line 4: ..."), or an empty string. On a fault
// `project` holds nothing.
std::string ParseRocketProject(std::string_view xml, RocketProject& project);

// Reads the project file at `path` (through ResolvePath). False when there is
// no such file (`project` empty); one that cannot be read or is damaged ends
// the program with status 2 and the line "PATH: what is wrong".
bool LoadRocketProject(const std::string& path, RocketProject& project);

}  // namespace VantorGL
