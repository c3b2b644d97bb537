#include "shell/mp3_decoder.h"

#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <numbers>

namespace VantorGL {
namespace {

// mpg123 reads the file through these, from the bytes in memory.
struct MemorySource {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

mpg123_ssize_t ReadMemory(void* handle, void* buffer, size_t count) {
  auto* src = static_cast<MemorySource*>(handle);
  const size_t n = std::min(count, src->size - src->pos);
  if (n > 0) std::memcpy(buffer, src->data + src->pos, n);
  src->pos += n;
  return static_cast<mpg123_ssize_t>(n);
}

off_t SeekMemory(void* handle, off_t offset, int whence) {
  auto* src = static_cast<MemorySource*>(handle);
  int64_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<int64_t>(src->pos);
  else if (whence == SEEK_END) base = static_cast<int64_t>(src->size);
  else if (whence != SEEK_SET) return -1;
  const int64_t target = base + static_cast<int64_t>(offset);
  if (target < 0 || target > static_cast<int64_t>(src->size)) return -1;
  src->pos = static_cast<size_t>(target);
  return static_cast<off_t>(target);
}

struct Handle {
  mpg123_handle* mh = nullptr;
  ~Handle() {
    if (mh) {
      mpg123_close(mh);
      mpg123_delete(mh);
    }
  }
};

// The decoder's output format, when it is float stereo: its rate; else 0.
long FloatStereoRate(mpg123_handle* mh) {
  long rate = 0;
  int channels = 0, encoding = 0;
  if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK || channels != 2 ||
      encoding != MPG123_ENC_FLOAT_32)
    return 0;
  return rate > 0 ? rate : 0;
}

// Opens `src` for decoding to float stereo at the file's own rate: the handle
// and that rate, or nothing when the bytes hold no MP3 stream.
bool OpenDecoder(Handle& h, MemorySource& src, long& sourceRate) {
  static std::once_flag once;
  std::call_once(once, [] { mpg123_init(); });
  int err = MPG123_OK;
  h.mh = mpg123_new(nullptr, &err);
  if (!h.mh) return false;
  // Gapless needs the info tag; FORCE_STEREO doubles mono; QUIET keeps mpg123's
  // complaints about damaged frames off stderr.
  mpg123_param(h.mh, MPG123_FLAGS, MPG123_GAPLESS | MPG123_FORCE_STEREO | MPG123_QUIET, 0);
  mpg123_format_none(h.mh);
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i) mpg123_format(h.mh, rates[i], MPG123_STEREO, MPG123_ENC_FLOAT_32);

  if (mpg123_replace_reader_handle(h.mh, ReadMemory, SeekMemory, nullptr) != MPG123_OK) return false;
  if (mpg123_open_handle(h.mh, &src) != MPG123_OK) return false;
  sourceRate = FloatStereoRate(h.mh);
  return sourceRate > 0;
}

// Damaged frames can decode to NaN or huge values; the mixer gets neither.
void MakeFinite(float* v, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (!std::isfinite(v[i])) v[i] = 0.0f;
  }
}

}  // namespace

std::optional<DecodedAudio> DecodeMp3(const uint8_t* data, size_t size, int rate) {
  if (!data || size == 0 || rate <= 0) return std::nullopt;
  Handle h;
  MemorySource src{data, size, 0};
  long sourceRate = 0;
  if (!OpenDecoder(h, src, sourceRate)) return std::nullopt;

  DecodedAudio out;
  out.rate = rate;
  out.sourceRate = static_cast<int>(sourceRate);
  const off_t expected = mpg123_length(h.mh);  // from the info tag; a guess without it
  if (expected > 0 && expected <= kMaxDecodedFrames) out.samples.reserve(static_cast<size_t>(expected) * 2);

  std::vector<float> block(16384);
  for (;;) {
    size_t bytes = 0;
    const int r = mpg123_read(h.mh, block.data(), block.size() * sizeof(float), &bytes);
    const size_t floats = bytes / sizeof(float);
    if (out.samples.size() / 2 + floats / 2 > static_cast<size_t>(kMaxDecodedFrames)) return std::nullopt;
    out.samples.insert(out.samples.end(), block.begin(), block.begin() + static_cast<ptrdiff_t>(floats));
    if (r == MPG123_OK) continue;
    if (r == MPG123_NEW_FORMAT) {
      // A stream that changes rate midway is not something we play; keep what
      // came before the change.
      if (FloatStereoRate(h.mh) != sourceRate) break;
      continue;
    }
    break;  // MPG123_DONE, or damage that mpg123 could not get past: keep what played
  }
  out.samples.resize(out.samples.size() / 2 * 2);
  if (out.samples.empty()) return std::nullopt;
  // Interpolating a pathological signal overshoots: the clamp comes after.
  MakeFinite(out.samples.data(), out.samples.size());
  if (out.sourceRate != rate) out.samples = ResampleStereo(out.samples, out.sourceRate, rate);
  for (float& v : out.samples) v = std::clamp(v, -1.0f, 1.0f);
  out.frames = static_cast<int64_t>(out.samples.size() / 2);
  if (out.frames == 0) return std::nullopt;
  return out;
}

struct Mp3Stream::Decoder {
  std::vector<uint8_t> bytes;
  MemorySource src{nullptr, 0, 0};
  Handle h;  // after `src`, which its reader uses until it is closed
};

Mp3Stream::Mp3Stream() : decoder_(std::make_unique<Decoder>()) {}
Mp3Stream::~Mp3Stream() = default;

std::unique_ptr<Mp3Stream> Mp3Stream::Open(std::vector<uint8_t> bytes) {
  if (bytes.empty()) return nullptr;
  std::unique_ptr<Mp3Stream> stream(new Mp3Stream);
  Decoder& d = *stream->decoder_;
  d.bytes = std::move(bytes);
  d.src = MemorySource{d.bytes.data(), d.bytes.size(), 0};
  long sourceRate = 0;
  if (!OpenDecoder(d.h, d.src, sourceRate)) return nullptr;
  // The scan reads every frame's header (no decoding) for the exact gapless
  // length and a seek index, and leaves the track at its start.
  if (mpg123_scan(d.h.mh) != MPG123_OK) return nullptr;
  const off_t length = mpg123_length(d.h.mh);
  if (length <= 0 || length > kMaxDecodedFrames) return nullptr;
  stream->frames_ = length;
  stream->rate_ = static_cast<int>(sourceRate);
  stream->next_ = 0;
  return stream;
}

void Mp3Stream::Read(int64_t from, float* out, int count) {
  int done = 0;
  if (from != next_ && from >= 0 && from < frames_) {
    ended_ = false;
    if (from == 0) {
      // Opened afresh, the track decodes as it did the first time; a seek back
      // to 0 of a mono file can land a rounding step off in some samples. The
      // scan's index goes with the reopening: later seeks read headers forward.
      decoder_->src.pos = 0;
      next_ = mpg123_open_handle(decoder_->h.mh, &decoder_->src) == MPG123_OK ? 0 : -1;
    } else {
      next_ = mpg123_seek(decoder_->h.mh, static_cast<off_t>(from), SEEK_SET) == from ? from : -1;
    }
  }
  if (from == next_ && !ended_) {
    int idle = 0;  // reads that handed nothing: a few at a format change, never many
    while (done < count && next_ < frames_ && idle < 4) {
      const int64_t want = std::min<int64_t>(count - done, frames_ - next_);
      size_t bytes = 0;
      const int r = mpg123_read(decoder_->h.mh, out + static_cast<ptrdiff_t>(done) * 2,
                                static_cast<size_t>(want) * 2 * sizeof(float), &bytes);
      const int got = static_cast<int>(bytes / (2 * sizeof(float)));
      done += got;
      next_ += got;
      idle = got > 0 ? 0 : idle + 1;
      if (r == MPG123_OK) continue;
      if (r == MPG123_NEW_FORMAT) {
        // As the whole decode: a change of rate or layout midway ends the track.
        if (FloatStereoRate(decoder_->h.mh) == rate_) continue;
      }
      ended_ = true;  // the end, or damage that mpg123 could not get past
      break;
    }
  }
  MakeFinite(out, static_cast<size_t>(done) * 2);
  for (int i = 0; i < done * 2; ++i) out[i] = std::clamp(out[i], -1.0f, 1.0f);
  std::fill(out + static_cast<ptrdiff_t>(done) * 2, out + static_cast<ptrdiff_t>(count) * 2, 0.0f);
}

std::vector<float> ResampleStereo(const std::vector<float>& in, int from, int to) {
  if (from <= 0 || to <= 0) return {};
  if (from == to) return in;
  const int64_t inFrames = static_cast<int64_t>(in.size() / 2);
  const int64_t outFrames = (inFrames * to + from / 2) / from;
  std::vector<float> out(static_cast<size_t>(outFrames) * 2, 0.0f);

  // Windowed-sinc interpolation from a table of kPhases fractional offsets; the
  // cut-off follows the lower of the two Nyquist limits.
  constexpr int kZeroCrossings = 16;
  constexpr int kPhases = 512;
  const double cutoff = std::min(1.0, static_cast<double>(to) / from);
  const int half = static_cast<int>(std::ceil(kZeroCrossings / cutoff));
  const int taps = 2 * half;
  std::vector<float> table(static_cast<size_t>(kPhases + 1) * taps);
  for (int p = 0; p <= kPhases; ++p) {
    const double frac = static_cast<double>(p) / kPhases;
    double sum = 0.0;
    float* row = &table[static_cast<size_t>(p) * taps];
    for (int k = 0; k < taps; ++k) {
      // Tap k reads input i - half + 1 + k for an output at i + frac.
      const double d = frac + (half - 1 - k);
      const double u = d / half;
      double h = 0.0;
      if (std::abs(u) < 1.0) {
        const double x = std::numbers::pi * cutoff * d;
        const double sinc = std::abs(x) < 1e-12 ? 1.0 : std::sin(x) / x;
        const double w = 0.42 + 0.5 * std::cos(std::numbers::pi * u) + 0.08 * std::cos(2 * std::numbers::pi * u);
        h = cutoff * sinc * w;
      }
      row[k] = static_cast<float>(h);
      sum += h;
    }
    for (int k = 0; k < taps; ++k) row[k] = static_cast<float>(row[k] / sum);  // unity gain at DC
  }

  for (int64_t j = 0; j < outFrames; ++j) {
    const int64_t num = j * from;
    const int64_t i = num / to;
    const int p = static_cast<int>(((num % to) * kPhases + to / 2) / to);
    const float* row = &table[static_cast<size_t>(p) * taps];
    const int64_t first = i - half + 1;
    double l = 0.0, r = 0.0;
    for (int k = 0; k < taps; ++k) {
      const int64_t s = first + k;
      if (s < 0 || s >= inFrames) continue;
      l += row[k] * in[static_cast<size_t>(s) * 2];
      r += row[k] * in[static_cast<size_t>(s) * 2 + 1];
    }
    out[static_cast<size_t>(j) * 2] = static_cast<float>(l);
    out[static_cast<size_t>(j) * 2 + 1] = static_cast<float>(r);
  }
  return out;
}

}  // namespace VantorGL
