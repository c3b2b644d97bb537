#pragma once
// A show's music from three numbers and a cue list: a bed of pads, drums, bass
// and arpeggios in A minor (a chord a bar: Am, F, C, G) at the given tempo, and
// an accent on every cue (a hit, a crash and a chord stab, with a riser from
// the bar before), so that what a show does at a cue lands on a beat of its
// own. The last second fades to silence. `vantorgl-content tune` writes it.
#include <cstdint>
#include <vector>

#include "synth.h"

namespace content {

struct TuneSheet {
  int seconds = 12;             // the tune's length
  int bpm = 120;                // beats per minute, 4 to a bar
  std::vector<int32_t> cuesMs;  // accent times in ms from the start, each below the end
};

Stereo ComposeTune(const TuneSheet& sheet);
// MP3, 192 kbit/s, exactly seconds x 44100 samples per channel once decoded.
Bytes MakeTune(const TuneSheet& sheet);

}  // namespace content
