#include "tune.h"

#include <algorithm>
#include <array>

namespace content {

Stereo ComposeTune(const TuneSheet& sheet) {
  const double beatMs = 60000.0 / sheet.bpm;
  const double barMs = 4 * beatMs;
  const double endMs = sheet.seconds * 1000.0;
  const std::array<const std::vector<float>*, 4> progression = {&kAm, &kF, &kC, &kG};
  auto chordAt = [&](double ms) -> const std::vector<float>& {
    return *progression[static_cast<size_t>(ms / barMs) % progression.size()];
  };

  Mixer m(MsToSample(endMs));
  for (double bar = 0; bar < endMs; bar += barMs)
    Pad(m, MsToSample(bar), MsToSample(std::min(bar + barMs, endMs)), chordAt(bar), 0.2f, 0.3f, 0.9f);
  // Four on the floor, off-beat hats, snare on two and four, bass in eighths,
  // arpeggios in sixteenths; the drums rest in the last bar so the tune can end.
  const int64_t sixteenths = static_cast<int64_t>(endMs / (beatMs / 4));
  for (int64_t step = 0; step < sixteenths; ++step) {
    const double ms = static_cast<double>(step) * beatMs / 4;
    const int64_t at = MsToSample(ms);
    const auto& chord = chordAt(ms);
    Pluck(m, at, chord[static_cast<size_t>(step) % chord.size()] + ((step / 8) % 2 == 0 ? 12.0f : 24.0f), 0.07f,
          step % 2 == 0 ? -0.4f : 0.4f, 0.3f);
    if (ms >= endMs - barMs) continue;
    if (step % 4 == 0) Kick(m, at, 0.5f);
    if (step % 4 == 2) Hat(m, at, 0.1f, 40.0f, static_cast<uint32_t>(step));
    if (step % 8 == 4) Snare(m, at, 0.25f, static_cast<uint32_t>(step));
    if (step % 2 == 0) Bass(m, at, chord[0] - 12.0f, 0.28f, static_cast<float>(beatMs / 2000.0) * 0.9f);
  }
  // The accents, each with a riser from the bar before (or the cue before).
  double previous = 0;
  for (const int32_t cue : sheet.cuesMs) {
    const int64_t at = MsToSample(cue);
    const uint32_t seed = static_cast<uint32_t>(cue) * 3U + 1U;
    if (cue > 0) Riser(m, MsToSample(std::max(previous, cue - barMs)), at, 0.45f, seed);
    Boom(m, at, 0.7f, 1.6f, seed);
    Crash(m, at, 0.3f, 1.8f, seed + 1);
    Stab(m, at, chordAt(cue), 0.55f, 0.8f);
    previous = cue;
  }
  Stereo out = Finish(m, 0.5f, 1.3f, 0.8f);
  const int64_t fadeFrom = std::max<int64_t>(0, out.Size() - kSampleRate), end = out.Size();
  for (int64_t i = fadeFrom; i < end; ++i) {
    const float k = 1.0f - static_cast<float>(i - fadeFrom) / static_cast<float>(end - fadeFrom);
    out.l[static_cast<size_t>(i)] *= k * k;
    out.r[static_cast<size_t>(i)] *= k * k;
  }
  return out;
}

Bytes MakeTune(const TuneSheet& sheet) { return EncodeMp3(ComposeTune(sheet), 192); }

}  // namespace content
