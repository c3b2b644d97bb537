// Stands in for the sync editor where a person would use it (the guide's
// editor step, docs/MAKING-A-SHOW.md): listens on 127.0.0.1:PORT, takes one
// client, waits for it to ask for TRACK, sets a key on it (ROW, VALUE, the
// interpolation 0 to 3) and exports, as a person would in the editor; then
// waits until the client goes. Status 0 when all of it was sent.
//   sync_editor_probe PORT TRACK ROW VALUE INTERPOLATION
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/rocket_editor.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: sync_editor_probe PORT TRACK ROW VALUE INTERPOLATION\n");
    return 64;
  }
  constexpr int kWaitMs = 120000;
  vantor_test::StandInEditor editor;
  if (!editor.Listen(static_cast<uint16_t>(std::atoi(argv[1]))) || !editor.Accept(kWaitMs)) {
    std::fprintf(stderr, "sync_editor_probe: %s\n", editor.error().c_str());
    return 1;
  }
  const std::string track = argv[2];
  for (size_t asked = 1; editor.WaitForTracks(asked, kWaitMs); ++asked) {
    const auto& names = editor.tracks();
    const auto found = std::find(names.begin(), names.end(), track);
    if (found == names.end()) continue;
    const auto index = static_cast<uint32_t>(found - names.begin());
    if (!editor.SetKey(index, static_cast<uint32_t>(std::atoi(argv[3])), std::strtof(argv[4], nullptr),
                       static_cast<uint8_t>(std::atoi(argv[5]))) ||
        !editor.SaveTracks())
      break;
    std::printf("sync_editor_probe: key set on %s, tracks exported\n", track.c_str());
    std::fflush(stdout);
    editor.WaitForClose(kWaitMs);
    return 0;
  }
  std::fprintf(stderr, "sync_editor_probe: the client never asked for %s\n", track.c_str());
  return 1;
}
