// The synthesiser's instruments, its master and the MP3 encoder (LAME).
#include "synth.h"

#include <lame/lame.h>

#include <algorithm>
#include <array>
#include <stdexcept>

#include "noise.h"

namespace content {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kFs = static_cast<float>(kSampleRate);


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

}  // namespace

void Kick(Mixer& m, int64_t at, float gain) {
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

void Snare(Mixer& m, int64_t at, float gain, uint32_t seed) {
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

void Hat(Mixer& m, int64_t at, float gain, float decay, uint32_t seed) {
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

void Crash(Mixer& m, int64_t at, float gain, float seconds, uint32_t seed) {
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

void Boom(Mixer& m, int64_t at, float gain, float seconds, uint32_t seed) {
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

void Stab(Mixer& m, int64_t at, const std::vector<float>& notes, float gain, float seconds) {
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

void Pad(Mixer& m, int64_t from, int64_t to, const std::vector<float>& notes, float gain,
         float attackS, float releaseS) {
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

void Pluck(Mixer& m, int64_t at, float note, float gain, float pan, float seconds) {
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

void Bass(Mixer& m, int64_t at, float note, float gain, float seconds) {
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

void Riser(Mixer& m, int64_t from, int64_t to, float gain, uint32_t seed) {
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

Stereo Finish(Mixer& m, float wet, float drive, float peak) {
  Stereo out = m.dry;
  Reverb().Process(m.send, out, wet);
  Master(out, drive, peak);
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

}  // namespace content
