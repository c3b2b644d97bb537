// The two tunes, composed on the content library's synthesiser
// (tools/content/synth.h) and encoded to MP3.
//
// The show's music is composed on the cue sheet: every slide change gets an
// accent (a kick and chord stab on the long slides, a snare or crash on the
// flashes, a boom on the section changes), over a 120 BPM bed whose beats are
// the cue sheet's own half-second grid between 18 and 26 s. The loading tune
// is one two-bar loop rendered in its steady state (the tails of the pass
// before it included), so its end runs into its start without a click.
#include <algorithm>
#include <array>
#include <cmath>

#include "content.h"
#include "cue_sheet.h"
#include "synth.h"

namespace content {

namespace {

constexpr int64_t kMusicMs = 52000;
constexpr int64_t kLoopMs = 4000;  // two bars at 120 BPM

const std::vector<float>& ChordAt(int64_t ms) {
  // Harmony changes with the show's sections, then every bar in the beat run.
  if (ms < 6000) return kAm;
  if (ms < 8000) return kF;
  if (ms < 10000) return kC;
  if (ms < 12000) return kG;
  if (ms < 14600) return kAm;
  if (ms < 16600) return kF;
  if (ms < 18000) return kG;
  if (ms >= 33000 && ms < 37000) return ms < 35000 ? kDm : kEm;
  if (ms >= 41300) return kAm;
  static const std::array<const std::vector<float>*, 4> kBars = {&kAm, &kF, &kC, &kG};
  return *kBars[static_cast<size_t>((ms / 2000) % 4)];
}

bool InBeat(int64_t ms) { return (ms >= 18000 && ms < 33000) || (ms >= 37000 && ms < 41300); }

Stereo ComposeMusic() {
  Mixer m(MsToSample(kMusicMs));
  // Intro: a swelling chord and a riser into the first hit.
  Pad(m, 0, MsToSample(3500), kAm, 0.35f, 2.5f, 0.6f);
  Riser(m, MsToSample(1200), MsToSample(3500), 0.5f, 11);
  // A bed of pads under the whole show, following the harmony.
  static constexpr std::array<int64_t, 13> kPadChanges = {3500,  6000,  8000,  10000, 12000,
                                                          14600, 16600, 18000, 26000, 33000,
                                                          35000, 37000, 41300};
  for (size_t i = 0; i < kPadChanges.size(); ++i) {
    const int64_t from = kPadChanges[i];
    const int64_t to = i + 1 < kPadChanges.size() ? kPadChanges[i + 1] : 49000;
    const float gain = from >= 41300 ? 0.32f : (from >= 33000 && from < 37000 ? 0.3f : 0.18f);
    Pad(m, MsToSample(static_cast<double>(from)), MsToSample(static_cast<double>(to)),
        ChordAt(from), gain, 0.3f, 1.2f);
  }
  // The beat: four on the floor, off-beat hats, snare on two and four, bass in
  // eighths on the chord's root.
  for (int64_t ms = 0; ms < kMusicMs; ms += 250) {
    if (!InBeat(ms)) continue;
    const auto s = MsToSample(static_cast<double>(ms));
    const bool onBeat = ms % 500 == 0;
    if (onBeat) Kick(m, s, 0.55f);
    if (!onBeat) Hat(m, s, 0.12f, 40.0f, static_cast<uint32_t>(ms));
    if (onBeat && (ms / 500) % 2 == 1) Snare(m, s, 0.28f, static_cast<uint32_t>(ms));
    Bass(m, s, ChordAt(ms)[0] - 12.0f, 0.3f, 0.22f);
  }
  // Arpeggios in the effects section and the breakdown.
  for (int64_t ms = 12000; ms < 37000; ms += 125) {
    if (ms >= 18000 && ms < 33000) continue;
    const auto& chord = ChordAt(ms);
    const size_t step = static_cast<size_t>(ms / 125);
    const float note = chord[step % chord.size()] + ((step / 4) % 2 == 0 ? 12.0f : 24.0f);
    Pluck(m, MsToSample(static_cast<double>(ms)), note, 0.11f, (step % 2 == 0) ? -0.4f : 0.4f);
  }
  Riser(m, MsToSample(35000), MsToSample(37000), 0.45f, 21);
  Riser(m, MsToSample(39500), MsToSample(41300), 0.55f, 31);
  // A snare roll that speeds up into the last big hit.
  for (double ms = 39500; ms < 41300;) {
    const double x = (ms - 39500) / 1800.0;
    Snare(m, MsToSample(ms), 0.08f + 0.22f * static_cast<float>(x), static_cast<uint32_t>(ms));
    ms += 250.0 - 190.0 * x;
  }

  // The accents: one on every slide change of the cue sheet.
  for (size_t i = 1; i < kCueSheet.size(); ++i) {
    const Cue& cue = kCueSheet[i];
    const int64_t ms = cue.fromMs;
    const int64_t s = MsToSample(static_cast<double>(ms));
    const int32_t duration = cue.toMs - cue.fromMs;
    const uint32_t seed = static_cast<uint32_t>(ms) * 3U;
    const auto& chord = ChordAt(ms);
    const bool section = ms == 3500 || ms == 12000 || ms == 18000 || ms == 26000 || ms == 33000 ||
                         ms == 37000 || ms == 41300;
    if (section) {
      Boom(m, s, 0.7f, ms == 41300 ? 3.5f : 1.6f, seed);
      Crash(m, s, 0.35f, ms == 41300 ? 4.0f : 2.0f, seed + 1);
      Stab(m, s, chord, 0.6f, 0.9f);
      if (!InBeat(ms)) Kick(m, s, 0.6f);
    } else if (duration <= 200) {
      // Flashes: a sharp snare with a short crash.
      Snare(m, s, 0.4f, seed);
      Crash(m, s, 0.18f, 0.5f, seed + 1);
    } else {
      if (!InBeat(ms) || ms % 500 != 0) Kick(m, s, 0.5f);
      Stab(m, s, chord, duration >= 1000 ? 0.5f : 0.38f, duration >= 1000 ? 0.7f : 0.35f);
      if (duration >= 1000) Crash(m, s, 0.2f, 1.2f, seed + 1);
    }
  }
  // The last hit at 45 s, on the same chord, then the room rings out.
  const int64_t last = MsToSample(45000);
  Boom(m, last, 0.8f, 4.0f, 77);
  Crash(m, last, 0.4f, 5.0f, 78);
  Stab(m, last, {45, 57, 60, 64, 69}, 0.6f, 3.0f);
  Stereo out = Finish(m, 0.55f, 1.3f, 0.8f);
  // Fade the final tail so the file ends in silence.
  const int64_t fadeFrom = MsToSample(49500), end = out.Size();
  for (int64_t i = fadeFrom; i < end; ++i) {
    const float k = 1.0f - static_cast<float>(i - fadeFrom) / static_cast<float>(end - fadeFrom);
    out.l[static_cast<size_t>(i)] *= k * k;
    out.r[static_cast<size_t>(i)] *= k * k;
  }
  return out;
}

// Notes of one pass of the loading loop, offset by `base` samples.
void LoadingPass(Mixer& m, int64_t base) {
  const std::array<const std::vector<float>*, 2> chords = {&kAm, &kF};
  for (int bar = 0; bar < 2; ++bar) {
    const auto& chord = *chords[static_cast<size_t>(bar)];
    const int64_t barStart = base + MsToSample(bar * 2000.0);
    Pad(m, barStart, barStart + MsToSample(1900), chord, 0.16f, 0.4f, 0.4f);
    for (int step = 0; step < 16; ++step) {
      const int64_t at = barStart + MsToSample(step * 125.0);
      const float note = chord[static_cast<size_t>(step) % chord.size()] + (step % 8 < 4 ? 12.0f : 24.0f);
      Pluck(m, at, note, 0.10f, step % 2 == 0 ? -0.5f : 0.5f, 0.3f);
    }
    for (int beat = 0; beat < 4; ++beat) {
      const int64_t at = barStart + MsToSample(beat * 500.0);
      Kick(m, at, 0.25f);
      Hat(m, at + MsToSample(250), 0.06f, 50.0f, static_cast<uint32_t>(bar * 4 + beat));
    }
  }
}

Stereo ComposeLoadingTune() {
  const int64_t loop = MsToSample(static_cast<double>(kLoopMs));
  // Three passes; the middle one carries the tails of the first, exactly as
  // the third will carry its own, so cutting it out gives a seamless loop.
  Mixer m(loop * 3);
  for (int pass = 0; pass < 3; ++pass) LoadingPass(m, loop * pass);
  Stereo all = Finish(m, 0.45f, 1.2f, 0.7f);
  Stereo out(loop);
  std::copy(all.l.begin() + loop, all.l.begin() + 2 * loop, out.l.begin());
  std::copy(all.r.begin() + loop, all.r.begin() + 2 * loop, out.r.begin());
  return out;
}

}  // namespace

int64_t MusicSamples() { return MsToSample(static_cast<double>(kMusicMs)); }
int64_t LoadingTuneSamples() { return MsToSample(static_cast<double>(kLoopMs)); }

Bytes MakeMusic() { return EncodeMp3(ComposeMusic(), 192); }
Bytes MakeLoadingTune() { return EncodeMp3(ComposeLoadingTune(), 160); }

}  // namespace content
