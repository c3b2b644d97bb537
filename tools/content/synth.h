#pragma once
// A small synthesiser for show music: a mixer with a dry bus and a reverb send,
// instruments that each add one event into it, the master (reverb, soft
// limiting, normalisation) and the MP3 encoder. Everything is computed sample
// by sample from integer hashes, so the same calls give the same bytes on every
// run and machine. 44.1 kHz stereo throughout.
#include <cmath>
#include <cstdint>
#include <vector>

namespace content {

using Bytes = std::vector<uint8_t>;

inline constexpr int kSampleRate = 44100;

inline int64_t MsToSample(double ms) { return static_cast<int64_t>(std::llround(ms * kSampleRate / 1000.0)); }
// The frequency of a MIDI note number (69: A 440 Hz); fractions detune.
inline float Midi(float note) { return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f); }

struct Stereo {
  explicit Stereo(int64_t n) : l(static_cast<size_t>(n)), r(static_cast<size_t>(n)) {}
  int64_t Size() const { return static_cast<int64_t>(l.size()); }
  // Adds into sample i; samples outside the buffer are dropped.
  void Add(int64_t i, float left, float right) {
    if (i < 0 || i >= Size()) return;
    l[static_cast<size_t>(i)] += left;
    r[static_cast<size_t>(i)] += right;
  }
  std::vector<float> l, r;
};

// The dry bus and the send bus into the reverb, each `n` samples long.
struct Mixer {
  explicit Mixer(int64_t n) : dry(n), send(n) {}
  Stereo dry, send;
};

// ---- instruments: each adds one event at sample `at` (or from `from` to `to`) ----
void Kick(Mixer& m, int64_t at, float gain);
void Snare(Mixer& m, int64_t at, float gain, uint32_t seed);
void Hat(Mixer& m, int64_t at, float gain, float decay, uint32_t seed);
void Crash(Mixer& m, int64_t at, float gain, float seconds, uint32_t seed);
// A deep hit for section changes: a falling sine under a dark noise thump.
void Boom(Mixer& m, int64_t at, float gain, float seconds, uint32_t seed);
// A chord of detuned saws through a closing low-pass: an accent.
void Stab(Mixer& m, int64_t at, const std::vector<float>& notes, float gain, float seconds);
// A sustained chord with slow attack and release, wide and soft.
void Pad(Mixer& m, int64_t from, int64_t to, const std::vector<float>& notes, float gain,
         float attackS = 0.6f, float releaseS = 0.8f);
// A plucked note: a triangle-ish tone with a fast decay; pan -1 left to 1 right.
void Pluck(Mixer& m, int64_t at, float note, float gain, float pan, float seconds = 0.35f);
void Bass(Mixer& m, int64_t at, float note, float gain, float seconds);
// Noise swept upwards, louder towards `to`: it ends right on the next hit.
void Riser(Mixer& m, int64_t from, int64_t to, float gain, uint32_t seed);

// The dry bus plus the reverb of the send bus (`wet`), driven into a soft
// limiter and normalised to `peak`.
Stereo Finish(Mixer& m, float wet, float drive, float peak);

// Constant bit rate MP3 with the encoder's info tag: decoders then know the
// encoder delay and padding and give back exactly the samples that went in.
// Throws std::runtime_error when the encoder fails.
Bytes EncodeMp3(const Stereo& s, int kbps);

// Chords as MIDI notes, around middle C.
inline const std::vector<float> kAm = {57, 60, 64, 69};
inline const std::vector<float> kF = {53, 57, 60, 65};
inline const std::vector<float> kC = {55, 60, 64, 67};
inline const std::vector<float> kG = {55, 59, 62, 67};
inline const std::vector<float> kEm = {52, 55, 59, 64};
inline const std::vector<float> kDm = {50, 57, 62, 65};

}  // namespace content
