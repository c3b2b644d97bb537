#pragma once
// The sync editor's (GNU Rocket's) file of one track, as its client library
// writes it when the editor saves the tracks: BASE_NAME.track, little-endian,
// a u32 key count, then per key a u32 row, an f32 value and one interpolation
// byte, nothing between and nothing after. The reader takes bytes (tests and
// the fuzzer call ParseTrackFile); LoadTrackFile is the player's and the
// capture's way in. Any thread; nothing here is kept between calls.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sync/sync_track.h"

namespace VantorGL {

// The file of track `name` for the base `base` ("data/Sync/sync"): "_" and the
// name in which every byte but a letter, a digit, '.', '_' and '/' is written
// as '-' and two upper-case hex digits ("cam:angle" -> "data/Sync/sync_cam-3Aangle.track").
std::string TrackFileName(std::string_view base, std::string_view name);

// Reads a whole file's bytes into `keys` (sorted by row). Returns what is wrong
// with them (empty when nothing is): too short for its key count, bytes after
// the last key, an interpolation the editor does not have, a value that is not
// a finite number, rows that do not rise. `keys` is left empty on a fault.
std::string ParseTrackFile(const uint8_t* data, size_t size, std::vector<SyncKey>& keys);

// The bytes of a track file holding `keys` (in their order).
std::vector<uint8_t> EncodeTrackFile(const std::vector<SyncKey>& keys);

// Reads the track file at `path` (through ResolvePath). False when there is no
// such file (`keys` empty); a file that cannot be read or is damaged ends the
// program with status 2 and the line "PATH: what is wrong".
bool LoadTrackFile(const std::string& path, std::vector<SyncKey>& keys);

// Writes the file whole or not at all: into a temporary file beside it, then
// renamed over `path`. False with `error` set when it could not.
bool SaveTrackFile(const std::string& path, const std::vector<SyncKey>& keys, std::string* error);

}  // namespace VantorGL
