// The two tunes, synthesised sample by sample and encoded to MP3 with LAME.
//
// The show's music is composed on the cue sheet: every slide change gets an
// accent (a kick and chord stab on the long slides, a snare or crash on the
// flashes, a boom on the section changes), over a 120 BPM bed whose beats are
// the cue sheet's own half-second grid between 18 and 26 s. The loading tune
// is one two-bar loop rendered in its steady state (the tails of the pass
// before it included), so its end runs into its start without a click.
//
// LAME writes its info tag into the first frame, so decoders know the encoder
// delay and padding and give back exactly the samples that went in.
#include <lame/lame.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <stdexcept>

#include "content.h"
#include "cue_sheet.h"
#include "noise.h"

namespace content {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kFs = static_cast<float>(kSampleRate);
constexpr int64_t kMusicMs = 52000;
constexpr int64_t kLoopMs = 4000;  // two bars at 120 BPM

int64_t MsToSample(double ms) { return static_cast<int64_t>(std::llround(ms * kSampleRate / 1000.0)); }
float Midi(float note) { return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f); }

struct Stereo {
  explicit Stereo(int64_t n) : l(static_cast<size_t>(n)), r(static_cast<size_t>(n)) {}
  int64_t Size() const { return static_cast<int64_t>(l.size()); }
  void Add(int64_t i, float left, float right) {
    if (i < 0 || i >= Size()) return;
    l[static_cast<size_t>(i)] += left;
    r[static_cast<size_t>(i)] += right;
  }
  std::vector<float> l, r;
};

// Topology-preserving state-variable filter: stable for any cutoff below Nyquist.
struct Svf {
  void Set(float cutoff, float q) {
    g = std::tan(kPi * std::min(cutoff, kFs * 0.45f) / kFs);
    k = 1.0f / q;
    a1 = 1.0f / (1.0f + g * (g + k));
  }
  // Returns low-pass; band- and high-pass are left in `band` and `high`.
  float Run(float x) {
    const float v3 = x - ic2;
    const float v1 = a1 * ic1 + g * a1 * v3;
    const float v2 = ic2 + g * v1;
    ic1 = 2.0f * v1 - ic1;
    ic2 = 2.0f * v2 - ic2;
    band = v1;
    high = x - k * v1 - v2;
    return v2;
  }
  float g = 0, k = 1, a1 = 1, ic1 = 0, ic2 = 0, band = 0, high = 0;
};

// Naive saw with a touch of smoothing; the filters after it take the edge off.
float Saw(float phase) { return 2.0f * (phase - std::floor(phase)) - 1.0f; }

// A send bus through a small Schroeder reverb (combs into all-passes), one
// delay set per side for width.
class Reverb {
 public:
  void Process(const Stereo& send, Stereo& out, float wet) {
    static constexpr std::array<int, 4> kCombL = {1557, 1617, 1491, 1422};
    static constexpr std::array<int, 4> kCombR = {1580, 1640, 1514, 1445};
    static constexpr std::array<int, 2> kAllL = {556, 441};
    static constexpr std::array<int, 2> kAllR = {579, 464};
    Side(send.l, out.l, kCombL, kAllL, wet);
    Side(send.r, out.r, kCombR, kAllR, wet);
  }

 private:
  static void Side(const std::vector<float>& in, std::vector<float>& out,
                   const std::array<int, 4>& combs, const std::array<int, 2>& alls, float wet) {
    std::array<std::vector<float>, 4> cb;
    std::array<size_t, 4> ci{};
    std::array<float, 4> damp{};
    for (size_t c = 0; c < 4; ++c) cb[c].assign(static_cast<size_t>(combs[c]), 0.0f);
    std::array<std::vector<float>, 2> ab;
    std::array<size_t, 2> ai{};
    for (size_t a = 0; a < 2; ++a) ab[a].assign(static_cast<size_t>(alls[a]), 0.0f);
    for (size_t i = 0; i < in.size(); ++i) {
      const float x = in[i] * 0.25f;
      float sum = 0;
      for (size_t c = 0; c < 4; ++c) {
        const float y = cb[c][ci[c]];
        damp[c] = y * 0.7f + damp[c] * 0.3f;
        cb[c][ci[c]] = x + damp[c] * 0.86f;
        ci[c] = (ci[c] + 1) % cb[c].size();
        sum += y;
      }
      for (size_t a = 0; a < 2; ++a) {
        const float b = ab[a][ai[a]];
        ab[a][ai[a]] = sum + b * 0.5f;
        sum = b - sum * 0.5f;
        ai[a] = (ai[a] + 1) % ab[a].size();
      }
      out[i] += sum * wet;
    }
  }
};

// ---- instruments: each adds one event into the dry bus and the send bus ----

struct Mix {
  explicit Mix(int64_t n) : dry(n), send(n) {}
  Stereo dry, send;
};

void Kick(Mix& m, int64_t at, float gain) {
  const int64_t n = MsToSample(420);
  float phase = 0;
  for (int64_t i = 0; i < n; ++i) {
    const float t = static_cast<float>(i) / kFs;
    const float f = 46.0f + 120.0f * std::exp(-t * 28.0f);
    phase += f / kFs;
    const float click = (i < 90) ? (1.0f - static_cast<float>(i) / 90.0f) * 0.5f : 0.0f;
    // A 2 ms onset: punchy, but no step in the waveform (a step clicks).
    const float attack = std::min(1.0f, static_cast<float>(i) / 88.0f);
    const float v = (std::sin(2.0f * kPi * phase) * std::exp(-t * 7.5f) + click) * attack * gain;
    m.dry.Add(at + i, v, v);
  }
}

void Snare(Mix& m, int64_t at, float gain, uint32_t seed) {
  const int64_t n = MsToSample(300);
  Lcg rng(seed);
  Svf hp;
  hp.Set(1800.0f, 0.8f);
  float phase = 0;
  for (int64_t i = 0; i < n; ++i) {
    const float t = static_cast<float>(i) / kFs;
    hp.Run(rng.Signed());
    phase += 185.0f / kFs;
    const float body = std::sin(2.0f * kPi * phase) * std::exp(-t * 30.0f) * 0.6f;
    const float v = (hp.high * std::exp(-t * 16.0f) + body) * gain;
    m.dry.Add(at + i, v, v);
    m.send.Add(at + i, v * 0.5f, v * 0.5f);
  }
}

void Hat(Mix& m, int64_t at, float gain, float decay, uint32_t seed) {
  const int64_t n = MsToSample(std::min(600.0f, 5000.0f / decay));
  Lcg rng(seed);
  Svf hp;
  hp.Set(7500.0f, 0.9f);
  for (int64_t i = 0; i < n; ++i) {
    const float t = static_cast<float>(i) / kFs;
    hp.Run(rng.Signed());
    const float v = hp.high * std::exp(-t * decay) * gain;
    m.dry.Add(at + i, v * 0.8f, v);
  }
}

void Crash(Mix& m, int64_t at, float gain, float seconds, uint32_t seed) {
  const int64_t n = MsToSample(seconds * 1000.0f);
  Lcg rl(seed), rr(seed + 7);
  Svf fl, fr;
  fl.Set(5000.0f, 0.7f);
  fr.Set(5200.0f, 0.7f);
  for (int64_t i = 0; i < n; ++i) {
    const float t = static_cast<float>(i) / kFs;
    const float env = std::exp(-t * 4.0f / seconds) * std::min(1.0f, t * 400.0f);
    fl.Run(rl.Signed());
    fr.Run(rr.Signed());
    const float l = (fl.high + fl.band * 0.5f) * env * gain, r = (fr.high + fr.band * 0.5f) * env * gain;
    m.dry.Add(at + i, l, r);
    m.send.Add(at + i, l * 0.6f, r * 0.6f);
  }
}

// A deep hit for section changes: a falling sine under a dark noise thump.
void Boom(Mix& m, int64_t at, float gain, float seconds, uint32_t seed) {
  const int64_t n = MsToSample(seconds * 1000.0f);
  Lcg rng(seed);
  Svf lp;
  lp.Set(300.0f, 0.7f);
  float phase = 0;
  for (int64_t i = 0; i < n; ++i) {
    const float t = static_cast<float>(i) / kFs;
    phase += (38.0f + 70.0f * std::exp(-t * 6.0f)) / kFs;
    const float sub = std::sin(2.0f * kPi * phase) * std::exp(-t * 2.2f / seconds);
    const float thump = lp.Run(rng.Signed()) * std::exp(-t * 9.0f) * 2.0f;
    const float v = (sub + thump) * gain;
    m.dry.Add(at + i, v, v);
    m.send.Add(at + i, v * 0.3f, v * 0.3f);
  }
}

// A chord of detuned saws through a closing low-pass: the accent on a slide.
void Stab(Mix& m, int64_t at, const std::vector<float>& notes, float gain, float seconds) {
  const int64_t n = MsToSample(seconds * 1000.0f);
  std::vector<std::array<float, 2>> phases(notes.size(), {0.0f, 0.37f});
  Svf fl, fr;
  for (int64_t i = 0; i < n; ++i) {
    const float t = static_cast<float>(i) / kFs;
    const float env = std::min(1.0f, t * 300.0f) * std::exp(-t * 3.0f / seconds);
    if (i % 32 == 0) {
      const float cutoff = 300.0f + 5200.0f * std::exp(-t * 9.0f);
      fl.Set(cutoff, 1.4f);
      fr.Set(cutoff * 1.03f, 1.4f);
    }
    float l = 0, r = 0;
    for (size_t k = 0; k < notes.size(); ++k) {
      const float f = Midi(notes[k]);
      phases[k][0] += f * 0.996f / kFs;
      phases[k][1] += f * 1.004f / kFs;
      l += Saw(phases[k][0]) + 0.5f * Saw(phases[k][1]);
      r += 0.5f * Saw(phases[k][0]) + Saw(phases[k][1]);
    }
    const float scale = env * gain / static_cast<float>(notes.size());
    const float lv = fl.Run(l) * scale, rv = fr.Run(r) * scale;
    m.dry.Add(at + i, lv, rv);
    m.send.Add(at + i, lv * 0.7f, rv * 0.7f);
  }
}

// A sustained chord with slow attack and release, wide and soft.
void Pad(Mix& m, int64_t from, int64_t to, const std::vector<float>& notes, float gain,
         float attackS = 0.6f, float releaseS = 0.8f) {
  const int64_t len = to - from, rel = MsToSample(releaseS * 1000.0f);
  std::vector<std::array<float, 3>> phases(notes.size(), {0.0f, 0.21f, 0.63f});
  Svf fl, fr;
  fl.Set(1400.0f, 0.7f);
  fr.Set(1500.0f, 0.7f);
  for (int64_t i = 0; i < len + rel; ++i) {
    const float t = static_cast<float>(i) / kFs;
    float env = std::min(1.0f, t / attackS);
    if (i >= len) env *= 1.0f - static_cast<float>(i - len) / static_cast<float>(rel);
    float l = 0, r = 0;
    for (size_t k = 0; k < notes.size(); ++k) {
      const float f = Midi(notes[k]);
      phases[k][0] += f * 0.995f / kFs;
      phases[k][1] += f / kFs;
      phases[k][2] += f * 1.005f / kFs;
      l += Saw(phases[k][0]) + 0.6f * Saw(phases[k][1]);
      r += 0.6f * Saw(phases[k][1]) + Saw(phases[k][2]);
    }
    const float scale = env * gain / static_cast<float>(notes.size());
    const float lv = fl.Run(l) * scale, rv = fr.Run(r) * scale;
    m.dry.Add(from + i, lv, rv);
    m.send.Add(from + i, lv, rv);
  }
}

// A plucked note: a triangle-ish tone with a fast decay.
void Pluck(Mix& m, int64_t at, float note, float gain, float pan, float seconds = 0.35f) {
  const int64_t n = MsToSample(seconds * 1000.0f);
  const float f = Midi(note);
  float phase = 0;
  for (int64_t i = 0; i < n; ++i) {
    const float t = static_cast<float>(i) / kFs;
    phase += f / kFs;
    const float p = phase - std::floor(phase);
    const float tri = 4.0f * std::fabs(p - 0.5f) - 1.0f;
    const float v = (tri * 0.7f + 0.3f * std::sin(4.0f * kPi * phase)) *
                    std::exp(-t * 4.0f / seconds) * std::min(1.0f, t * 800.0f) * gain;
    m.dry.Add(at + i, v * (1.0f - pan), v * (1.0f + pan));
    m.send.Add(at + i, v * 0.8f, v * 0.8f);
  }
}

void Bass(Mix& m, int64_t at, float note, float gain, float seconds) {
  const int64_t n = MsToSample(seconds * 1000.0f);
  const float f = Midi(note);
  float phase = 0;
  Svf lp;
  for (int64_t i = 0; i < n; ++i) {
    const float t = static_cast<float>(i) / kFs;
    if (i % 32 == 0) lp.Set(180.0f + 900.0f * std::exp(-t * 14.0f), 1.2f);
    phase += f / kFs;
    const float env = std::min(1.0f, t * 500.0f) * std::min(1.0f, (seconds - t) * 60.0f);
    const float v = lp.Run(Saw(phase) + 0.5f * std::sin(2.0f * kPi * phase)) * env * gain;
    m.dry.Add(at + i, v, v);
  }
}

// Noise swept upwards, louder towards `to`: it ends right on the next hit.
void Riser(Mix& m, int64_t from, int64_t to, float gain, uint32_t seed) {
  Lcg rl(seed), rr(seed + 3);
  Svf fl, fr;
  const int64_t len = to - from;
  for (int64_t i = 0; i < len; ++i) {
    const float x = static_cast<float>(i) / static_cast<float>(len);
    if (i % 32 == 0) {
      fl.Set(200.0f * std::pow(40.0f, x), 3.0f);
      fr.Set(210.0f * std::pow(40.0f, x), 3.0f);
    }
    fl.Run(rl.Signed());
    fr.Run(rr.Signed());
    const float env = x * x * gain;
    m.dry.Add(from + i, fl.band * env, fr.band * env);
    m.send.Add(from + i, fl.band * env * 0.5f, fr.band * env * 0.5f);
  }
}

// Soft limiting and normalisation to a fixed peak.
void Master(Stereo& s, float drive, float peak) {
  float top = 1e-6f;
  for (size_t i = 0; i < s.l.size(); ++i) {
    s.l[i] = std::tanh(s.l[i] * drive);
    s.r[i] = std::tanh(s.r[i] * drive);
    top = std::max(top, std::max(std::fabs(s.l[i]), std::fabs(s.r[i])));
  }
  const float k = peak / top;
  for (size_t i = 0; i < s.l.size(); ++i) {
    s.l[i] *= k;
    s.r[i] *= k;
  }
}

Stereo Finish(Mix& m, float wet, float drive, float peak) {
  Stereo out = m.dry;
  Reverb().Process(m.send, out, wet);
  Master(out, drive, peak);
  return out;
}

// Chords as MIDI notes: the tune is in A minor.
const std::vector<float> kAm = {57, 60, 64, 69};
const std::vector<float> kF = {53, 57, 60, 65};
const std::vector<float> kC = {55, 60, 64, 67};
const std::vector<float> kG = {55, 59, 62, 67};
const std::vector<float> kEm = {52, 55, 59, 64};
const std::vector<float> kDm = {50, 57, 62, 65};

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
  Mix m(MsToSample(kMusicMs));
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
void LoadingPass(Mix& m, int64_t base) {
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
  Mix m(loop * 3);
  for (int pass = 0; pass < 3; ++pass) LoadingPass(m, loop * pass);
  Stereo all = Finish(m, 0.45f, 1.2f, 0.7f);
  Stereo out(loop);
  std::copy(all.l.begin() + loop, all.l.begin() + 2 * loop, out.l.begin());
  std::copy(all.r.begin() + loop, all.r.begin() + 2 * loop, out.r.begin());
  return out;
}

Bytes EncodeMp3(const Stereo& s, int kbps) {
  lame_global_flags* lame = lame_init();
  if (!lame) throw std::runtime_error("LAME: cannot start");
  lame_set_in_samplerate(lame, kSampleRate);
  lame_set_out_samplerate(lame, kSampleRate);
  lame_set_num_channels(lame, 2);
  lame_set_mode(lame, JOINT_STEREO);
  lame_set_VBR(lame, vbr_off);
  lame_set_brate(lame, kbps);
  lame_set_quality(lame, 3);
  lame_set_bWriteVbrTag(lame, 1);  // the info tag: exact length for decoders
  lame_set_write_id3tag_automatic(lame, 0);
  if (lame_init_params(lame) < 0) {
    lame_close(lame);
    throw std::runtime_error("LAME: bad parameters");
  }
  Bytes out;
  const int chunk = 8192;
  std::vector<unsigned char> buf(static_cast<size_t>(chunk) * 5 / 4 + 7200);
  for (int64_t i = 0; i < s.Size(); i += chunk) {
    const int n = static_cast<int>(std::min<int64_t>(chunk, s.Size() - i));
    const int got = lame_encode_buffer_ieee_float(lame, s.l.data() + i, s.r.data() + i, n, buf.data(),
                                                  static_cast<int>(buf.size()));
    if (got < 0) throw std::runtime_error("LAME: encoding failed");
    out.insert(out.end(), buf.begin(), buf.begin() + got);
  }
  const int tail = lame_encode_flush(lame, buf.data(), static_cast<int>(buf.size()));
  if (tail < 0) throw std::runtime_error("LAME: flush failed");
  out.insert(out.end(), buf.begin(), buf.begin() + tail);
  // The first frame was written empty; it now gets the finished tag.
  std::vector<unsigned char> tag(4096);
  const size_t tagSize = lame_get_lametag_frame(lame, tag.data(), tag.size());
  if (tagSize == 0 || tagSize > out.size()) throw std::runtime_error("LAME: no info tag");
  std::copy(tag.begin(), tag.begin() + static_cast<std::ptrdiff_t>(tagSize), out.begin());
  lame_close(lame);
  return out;
}

}  // namespace

int64_t MusicSamples() { return MsToSample(static_cast<double>(kMusicMs)); }
int64_t LoadingTuneSamples() { return MsToSample(static_cast<double>(kLoopMs)); }

Bytes MakeMusic() { return EncodeMp3(ComposeMusic(), 192); }
Bytes MakeLoadingTune() { return EncodeMp3(ComposeLoadingTune(), 160); }

}  // namespace content
