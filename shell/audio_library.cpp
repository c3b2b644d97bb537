#include "shell/audio_library.h"

#include <fftw3.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <thread>
#include <vector>

#include "platform/audio_device.h"
#include "shell/debug_system.h"
#include "shell/file_paths.h"
#include "shell/mp3_decoder.h"

namespace VantorGL::audio {
namespace {

constexpr uint64_t kPlayingBit = 1;

// A stream. `pcm`, `source` and `frames` never change after creation; `source`
// is the device thread's alone; the rest is shared with it through atomics.
struct Stream {
  Handle handle = 0;
  std::vector<float> pcm;  // interleaved stereo at the mixing rate, when decoded whole
  std::unique_ptr<Mp3Stream> source;  // else the file, decoded as it plays
  int64_t frames = 0;
  // (position << 1) | playing. One word, so the device thread and the main thread
  // each change position and play state together, by compare-and-swap.
  std::atomic<uint64_t> state{0};
  std::atomic<uint32_t> flags{0};
  // Set by ChannelPlay with restart, cleared by the device thread when it hands
  // over frame 0 and stamps the moment.
  std::atomic<bool> startPending{false};
  std::atomic<int64_t> startFrame{-1};
  std::atomic<int64_t> startCounter{0};
  // The latest kFftSize frames handed to the device (mono), oldest at `recentHead`,
  // for the spectrum. The device thread writes them between two steps of
  // `recentSeq` (odd while writing); a reader copies them and checks that the
  // count did not move, so the device thread never waits for one.
  std::array<std::atomic<float>, kFftSize> recent{};
  std::atomic<int> recentHead{0};
  std::atomic<uint32_t> recentSeq{0};
};

// Decoded frames of a streamed stream pass through here, a block at a time.
constexpr int kScratchFrames = 4096;

struct Fft {
  float* in = nullptr;
  fftwf_complex* out = nullptr;
  fftwf_plan plan = nullptr;
  std::array<float, kFftSize> window{};
  float scale = 0.0f;
};

// One callback as the device clock keeps it: when it returned (the performance
// counter), the device frame it handed up to, and how many frames it handed.
struct MixStamp {
  int64_t counter = 0;
  int64_t framesEnd = 0;
  int32_t frames = 0;
};
constexpr int kMixStamps = 256;  // about 3 s of callbacks, for readings a slow frame left unsettled
constexpr int kPaceStamps = 64;  // the pace over the latest 0.75 s or so

struct Library {
  bool started = false;
  int rate = 0;
  // Changed only under platform::AudioDeviceLock; read by the device thread.
  std::array<Stream*, kMaxStreams> slots{};
  std::atomic<int64_t> mixedFrames{0};  // written by the device thread only
  // Written by the device thread (which holds the device lock), read under it.
  std::array<MixStamp, kMixStamps> stamps{};
  int64_t stampCount = 0;
  uint32_t nextSerial = 1;
  Error error = Error::Ok;
  Fft fft;
  std::vector<float> scratch = std::vector<float>(kScratchFrames * 2);  // the device thread's
};

// Never destroyed: the records that free the library are themselves static
// objects (the application's), destroyed after any function-local static would be.
Library& Lib() {
  static Library& lib = *new Library;
  return lib;
}

bool Fail(Error e) {
  Lib().error = e;
  return false;
}

// Device thread. Sums every playing stream into `out`.
void Render(void* user, float* out, int frames) {
  auto& lib = *static_cast<Library*>(user);
  std::fill(out, out + static_cast<ptrdiff_t>(frames) * 2, 0.0f);
  std::array<Stream*, kMaxStreams> started{};
  int startedCount = 0;
  for (Stream* s : lib.slots) {
    if (!s) continue;
    uint64_t st = s->state.load(std::memory_order_acquire);
    if (!(st & kPlayingBit)) continue;
    const bool loop = (s->flags.load(std::memory_order_relaxed) & SAMPLE_LOOP) != 0;
    const int64_t from = static_cast<int64_t>(st >> 1);
    int64_t pos = from;
    bool playing = true;
    int done = 0;
    const uint32_t seq = s->recentSeq.load(std::memory_order_relaxed);
    s->recentSeq.store(seq + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    int head = s->recentHead.load(std::memory_order_relaxed);
    while (done < frames) {
      if (pos >= s->frames) {
        if (loop) {
          pos = 0;
        } else {
          playing = false;
          break;
        }
      }
      int n = static_cast<int>(std::min<int64_t>(frames - done, s->frames - pos));
      const float* src = nullptr;
      if (s->source) {
        n = std::min(n, kScratchFrames);
        s->source->Read(pos, lib.scratch.data(), n);
        src = lib.scratch.data();
      } else {
        src = s->pcm.data() + pos * 2;
      }
      float* dst = out + static_cast<ptrdiff_t>(done) * 2;
      for (int i = 0; i < n * 2; ++i) dst[i] += src[i];
      for (int i = 0; i < n; ++i) {
        s->recent[head].store(0.5f * (src[i * 2] + src[i * 2 + 1]), std::memory_order_relaxed);
        head = (head + 1) % kFftSize;
      }
      done += n;
      pos += n;
    }
    s->recentHead.store(head, std::memory_order_relaxed);
    s->recentSeq.store(seq + 2, std::memory_order_release);
    if (loop && pos >= s->frames) pos = 0;  // report the wrap at once
    if (pos >= s->frames) playing = false;
    const uint64_t next = (static_cast<uint64_t>(pos) << 1) | (playing ? kPlayingBit : 0);
    // When the main thread has moved or stopped the stream meanwhile, its word
    // wins; what was mixed here is simply the last buffer of the old state.
    if (s->state.compare_exchange_strong(st, next, std::memory_order_acq_rel) && from == 0 && done > 0 &&
        s->startPending.exchange(false))
      started[startedCount++] = s;
  }
  for (int i = 0; i < frames * 2; ++i) out[i] = std::clamp(out[i], -1.0f, 1.0f);
  const int64_t base = lib.mixedFrames.load(std::memory_order_relaxed);
  lib.mixedFrames.store(base + frames, std::memory_order_relaxed);
  const int64_t now = platform::AudioCounterNow();
  lib.stamps[lib.stampCount % kMixStamps] = MixStamp{now, base + frames, frames};
  ++lib.stampCount;
  if (startedCount > 0) {
    for (int i = 0; i < startedCount; ++i) {
      started[i]->startFrame.store(base, std::memory_order_relaxed);
      started[i]->startCounter.store(now, std::memory_order_release);
    }
  }
}

Stream* Find(Handle h) {
  Library& lib = Lib();
  if (!lib.started) {
    Fail(Error::NotStarted);
    return nullptr;
  }
  Stream* s = h != 0 ? lib.slots[h % kMaxStreams] : nullptr;
  if (!s || s->handle != h) {
    Fail(Error::BadHandle);
    return nullptr;
  }
  lib.error = Error::Ok;
  return s;
}

void MakeFft(Fft& f) {
  f.in = fftwf_alloc_real(kFftSize);
  f.out = fftwf_alloc_complex(kFftSize / 2 + 1);
  f.plan = fftwf_plan_dft_r2c_1d(kFftSize, f.in, f.out, FFTW_ESTIMATE);
  double sum = 0.0;
  for (int i = 0; i < kFftSize; ++i) {
    f.window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / kFftSize));
    sum += f.window[i];
  }
  // A sine of amplitude A puts A * sum(window) / 2 into its bin.
  f.scale = static_cast<float>(2.0 / sum);
}

void FreeFft(Fft& f) {
  if (f.plan) fftwf_destroy_plan(f.plan);
  if (f.in) fftwf_free(f.in);
  if (f.out) fftwf_free(f.out);
  f.plan = nullptr;
  f.in = nullptr;
  f.out = nullptr;
}

}  // namespace

bool Init(int device, uint32_t freq, uint32_t /*flags*/) {
  Library& lib = Lib();
  if (lib.started) return Fail(Error::AlreadyStarted);
  if (device != 1 && device != -1 && device != 0) return Fail(Error::BadParameter);
  if (freq < 8000 || freq > 192000) return Fail(Error::BadParameter);
  lib.rate = static_cast<int>(freq);
  lib.stampCount = 0;
  platform::AudioDeviceSettings settings;
  settings.rate = lib.rate;
  settings.bufferFrames = kDeviceBufferFrames;
  settings.noSound = device == 0;
  lib.mixedFrames.store(0);
  // Even with no device at all the library counts as started: streams are
  // created and kept, they just never advance.
  platform::OpenAudioDevice(settings, Render, &lib);
  if (platform::AudioDeviceIsSilentFallback())
    cDebugSystem::Instance().Log("audio", "no audio device: playing silently");
  MakeFft(lib.fft);
  lib.started = true;
  lib.error = Error::Ok;
  return true;
}

bool Free() {
  Library& lib = Lib();
  if (!lib.started) return Fail(Error::NotStarted);
  platform::CloseAudioDevice();  // no callback runs after this
  for (Stream*& s : lib.slots) {
    delete s;
    s = nullptr;
  }
  FreeFft(lib.fft);
  lib.started = false;
  lib.rate = 0;
  lib.error = Error::Ok;
  return true;
}

namespace {

// A stream for a prepared file: its handle, or 0 when every slot is taken.
Handle AddStream(PreparedFile&& file, uint32_t flags) {
  Library& lib = Lib();
  auto stream = std::make_unique<Stream>();
  if (file.source) {
    stream->frames = file.source->Frames();
    stream->source = std::move(file.source);
  } else {
    stream->pcm = std::move(file.audio->samples);
    stream->frames = file.audio->frames;
  }
  stream->flags.store(flags & SAMPLE_LOOP);

  int slot = -1;
  for (int i = 0; i < kMaxStreams; ++i) {
    if (!lib.slots[i]) {
      slot = i;
      break;
    }
  }
  if (slot < 0) return Fail(Error::NoFreeStream), 0;
  // The serial keeps handles of freed streams from ever naming a new one.
  const uint32_t serial = lib.nextSerial++;
  if (lib.nextSerial >= (0xFFFFFFFFu / kMaxStreams)) lib.nextSerial = 1;
  stream->handle = serial * kMaxStreams + static_cast<uint32_t>(slot);
  const Handle h = stream->handle;
  {
    platform::AudioDeviceLock hold;
    lib.slots[slot] = stream.release();
  }
  lib.error = Error::Ok;
  return h;
}

// A file at the mixing rate is decoded as it plays: only its MP3 bytes are held.
// One at another rate is decoded and resampled whole, here.
void Prepare(PreparedFile& file, std::vector<uint8_t>&& bytes) {
  std::unique_ptr<Mp3Stream> source = Mp3Stream::Open(bytes);
  if (source && source->Rate() == file.rate) {
    file.source = std::move(source);
    return;
  }
  file.audio = DecodeMp3(bytes.data(), bytes.size(), file.rate);
  if (!file.audio) file.error = Error::FileFormat;
}

}  // namespace

Handle StreamCreateFile(bool fromMemory, const void* file, uint64_t offset, uint64_t length, uint32_t flags) {
  Library& lib = Lib();
  if (!lib.started) return Fail(Error::NotStarted), 0;
  if (!file) return Fail(Error::FileOpen), 0;

  PreparedFile prepared;
  prepared.rate = lib.rate;
  if (fromMemory) {
    if (length == 0) return Fail(Error::BadParameter), 0;
    const auto* first = static_cast<const uint8_t*>(file) + offset;
    Prepare(prepared, std::vector<uint8_t>(first, first + length));
  } else {
    auto bytes = ReadFileBytes(static_cast<const char*>(file));
    if (!bytes) return Fail(Error::FileOpen), 0;
    if (offset > bytes->size()) return Fail(Error::FileFormat), 0;
    uint64_t size = bytes->size() - offset;
    if (length != 0) size = std::min(size, length);
    if (offset != 0 || size != bytes->size())
      bytes = std::vector<uint8_t>(bytes->begin() + static_cast<ptrdiff_t>(offset),
                                   bytes->begin() + static_cast<ptrdiff_t>(offset + size));
    Prepare(prepared, std::move(*bytes));
  }
  if (prepared.error != Error::Ok) return Fail(prepared.error), 0;
  return AddStream(std::move(prepared), flags);
}

PreparedFile PrepareFile(const std::string& path, int rate) {
  PreparedFile file;
  file.path = path;
  file.rate = rate;
  auto bytes = ReadFileBytes(path);
  if (!bytes) {
    file.error = Error::FileOpen;
    return file;
  }
  Prepare(file, std::move(*bytes));
  return file;
}

Handle StreamCreatePrepared(PreparedFile&& file, uint32_t flags) {
  Library& lib = Lib();
  if (!lib.started) return Fail(Error::NotStarted), 0;
  if (file.rate != lib.rate) return StreamCreateFile(false, file.path.c_str(), 0, 0, flags);
  if (!file.source && !file.audio) return Fail(file.error), 0;
  return AddStream(std::move(file), flags);
}

bool StreamFree(Handle h) {
  Stream* s = Find(h);
  if (!s) return false;
  {
    platform::AudioDeviceLock hold;
    Lib().slots[h % kMaxStreams] = nullptr;
  }
  delete s;
  return true;
}

uint32_t ChannelFlags(Handle h, uint32_t flags, uint32_t mask) {
  Stream* s = Find(h);
  if (!s) return kFail;
  mask &= SAMPLE_LOOP;
  const uint32_t now = (s->flags.load() & ~mask) | (flags & mask);
  s->flags.store(now);
  return now;
}

bool ChannelPlay(Handle h, bool restart) {
  Stream* s = Find(h);
  if (!s) return false;
  if (restart) {
    s->startCounter.store(0);
    s->startFrame.store(-1);
    s->startPending.store(true);
  }
  uint64_t st = s->state.load();
  uint64_t next;
  do {
    const uint64_t pos = restart ? 0 : st >> 1;
    next = (pos << 1) | kPlayingBit;
  } while (!s->state.compare_exchange_weak(st, next));
  return true;
}

bool ChannelStop(Handle h) {
  Stream* s = Find(h);
  if (!s) return false;
  s->state.fetch_and(~kPlayingBit);
  return true;
}

int ChannelIsActive(Handle h) {
  Stream* s = Find(h);
  if (!s) return 0;
  return (s->state.load() & kPlayingBit) ? 1 : 0;
}

bool ChannelSetPosition(Handle h, uint64_t pos, uint32_t mode) {
  Stream* s = Find(h);
  if (!s) return false;
  if (mode != POS_BYTE) return Fail(Error::BadParameter);
  const uint64_t frame = pos / kBytesPerFrame;
  if (frame >= static_cast<uint64_t>(s->frames)) return Fail(Error::BadPosition);
  uint64_t st = s->state.load();
  while (!s->state.compare_exchange_weak(st, (frame << 1) | (st & kPlayingBit))) {
  }
  return true;
}

uint64_t ChannelGetPosition(Handle h, uint32_t mode) {
  Stream* s = Find(h);
  if (!s) return kFail64;
  if (mode != POS_BYTE) return Fail(Error::BadParameter), kFail64;
  return (s->state.load() >> 1) * kBytesPerFrame;
}

uint64_t ChannelGetLength(Handle h, uint32_t mode) {
  Stream* s = Find(h);
  if (!s) return kFail64;
  if (mode != POS_BYTE) return Fail(Error::BadParameter), kFail64;
  return static_cast<uint64_t>(s->frames) * kBytesPerFrame;
}

uint32_t ChannelGetData(Handle h, void* buffer, uint32_t length) {
  Stream* s = Find(h);
  if (!s) return kFail;
  if (length != DATA_FFT1024 || !buffer) return Fail(Error::BadParameter), kFail;
  float* mags = static_cast<float*>(buffer);
  const uint64_t st = s->state.load();
  if (!(st & kPlayingBit)) {
    std::fill(mags, mags + kSpectrumSize, 0.0f);
    return kSpectrumSize * sizeof(float);
  }
  // The frames just handed to the device are the ones sounding now. Should every
  // try meet a callback writing them (a device thread held up mid-callback), the
  // spectrum is of what the last try read: less exact, never unsafe.
  Fft& f = Lib().fft;
  for (int tries = 0; tries < 100; ++tries) {
    const uint32_t before = s->recentSeq.load(std::memory_order_acquire);
    if (before & 1) {
      std::this_thread::yield();
      continue;
    }
    const int head = s->recentHead.load(std::memory_order_relaxed);
    for (int i = 0; i < kFftSize; ++i)
      f.in[i] = s->recent[(head + i) % kFftSize].load(std::memory_order_relaxed) * f.window[i];
    std::atomic_thread_fence(std::memory_order_acquire);
    if (s->recentSeq.load(std::memory_order_relaxed) == before) break;
  }
  fftwf_execute(f.plan);
  for (int k = 0; k < kSpectrumSize; ++k) mags[k] = std::hypot(f.out[k][0], f.out[k][1]) * f.scale;
  return kSpectrumSize * sizeof(float);
}

Error ErrorGetCode() { return Lib().error; }

std::string DriverName() { return Lib().started ? platform::AudioDriverName() : std::string(); }

int MixRate() { return Lib().rate; }

StartStamp ChannelStartStamp(Handle h) {
  StartStamp stamp;
  Stream* s = Find(h);
  if (!s) return stamp;
  stamp.counter = s->startCounter.load(std::memory_order_acquire);
  if (stamp.counter != 0) stamp.deviceFrame = s->startFrame.load(std::memory_order_relaxed);
  return stamp;
}

bool ChannelSnapshot(Handle h, Snapshot* out) {
  Stream* s = Find(h);
  if (!s || !out) return false;
  platform::AudioDeviceLock hold;
  out->deviceFrames = Lib().mixedFrames.load(std::memory_order_relaxed);
  const uint64_t st = s->state.load();
  out->streamFrames = static_cast<int64_t>(st >> 1);
  out->playing = (st & kPlayingBit) != 0;
  return true;
}

namespace {
// Frames a second over the latest kPaceStamps callbacks; 0 with too few of them. Under the device lock.
double MeasuredPace(const Library& lib) {
  const int64_t held = std::min<int64_t>(lib.stampCount, kPaceStamps);
  if (held < 8) return 0.0;
  const MixStamp& newest = lib.stamps[(lib.stampCount - 1) % kMixStamps];
  const MixStamp& oldest = lib.stamps[(lib.stampCount - held) % kMixStamps];
  const int64_t ticks = newest.counter - oldest.counter;
  if (ticks <= 0) return 0.0;
  return static_cast<double>(newest.framesEnd - oldest.framesEnd) * static_cast<double>(platform::AudioCounterFrequency()) /
         static_cast<double>(ticks);
}
}  // namespace

int64_t DeviceFramesHanded() {
  platform::AudioDeviceLock hold;
  return Lib().mixedFrames.load(std::memory_order_relaxed);
}

double DevicePace() {
  platform::AudioDeviceLock hold;
  const double pace = MeasuredPace(Lib());
  return pace > 0 ? pace : Lib().rate;
}

double DeviceFramesPlayed(int64_t counter, bool* settled) {
  platform::AudioDeviceLock hold;
  const Library& lib = Lib();
  if (settled) *settled = false;
  const int64_t held = std::min<int64_t>(lib.stampCount, kMixStamps);
  if (held == 0) return static_cast<double>(lib.mixedFrames.load(std::memory_order_relaxed));
  auto at = [&lib](int64_t i) -> const MixStamp& { return lib.stamps[i % kMixStamps]; };
  // Between its return and the next callback's, a callback's frames are played
  // out evenly: from (framesEnd - frames) up to framesEnd.
  const MixStamp& newest = at(lib.stampCount - 1);
  if (newest.counter <= counter) {
    double pace = MeasuredPace(lib);
    if (pace <= 0) pace = lib.rate;
    const double played = static_cast<double>(counter - newest.counter) * pace /
                          static_cast<double>(platform::AudioCounterFrequency());
    return static_cast<double>(newest.framesEnd - newest.frames) + std::min<double>(newest.frames, played);
  }
  if (settled) *settled = true;
  for (int64_t i = lib.stampCount - 2; i >= lib.stampCount - held; --i) {
    const MixStamp& s = at(i);
    if (s.counter > counter) continue;
    const MixStamp& next = at(i + 1);
    const double part = static_cast<double>(counter - s.counter) / static_cast<double>(next.counter - s.counter);
    return static_cast<double>(s.framesEnd - s.frames) + s.frames * std::min(1.0, part);
  }
  return -1.0;  // `counter` is older than every stamp held
}

}  // namespace VantorGL::audio
