#pragma once
// The audio library: the handful of operations the program's music needs, with
// the arguments and effects of the sound library it was written against, built
// over the platform's sound device (platform/audio_device.h), libmpg123 and FFTW.
//
// - Init starts the output on the default device; Free stops everything, frees
//   every stream and closes the device. Stale handles are refused afterwards.
// - A stream is an MP3 file (gapless), played by the library on the device's
//   own thread. A file at the mixing rate is decoded as it plays, from the bytes
//   read when it was created; one at another rate is decoded and resampled whole
//   then. Any number of streams up to kMaxStreams play at once; they are summed.
// - Every call returns failure (false, 0 or kFail) for handle 0, an unknown or
//   freed handle, or before Init; the program ignores these results, so a stream
//   that could not be created simply stays silent.
// - Without any sound device the library runs on a silent device that keeps
//   real time, so positions advance and the show stays on time.
//
// Calls come from the main thread only. The device thread never waits on them:
// a stream's play state and position live in one atomic word, the spectrum's
// frames are copied under a count the device thread only steps, and only
// creating and freeing streams hold the device off for a moment.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "shell/mp3_decoder.h"

namespace VantorGL::audio {

using Handle = uint32_t;  // 0: no stream

// Flag, mode and request values as the program passes them.
constexpr uint32_t STREAM_PRESCAN = 0x20000;   // StreamCreateFile: exact length up front
constexpr uint32_t SAMPLE_LOOP = 4;            // ChannelFlags: repeat from the start at the end
constexpr uint32_t POS_BYTE = 0;               // positions in bytes
constexpr uint32_t DATA_FFT1024 = 0x80000001;  // ChannelGetData: 512 magnitudes, 1024-sample FFT

constexpr int kFftSize = 1024;
constexpr int kSpectrumSize = kFftSize / 2;
// Byte positions count frames of 16-bit stereo, the library's nominal output.
constexpr uint64_t kBytesPerFrame = 4;
// 11.6 ms at 44100 Hz: the longest wait before a play reaches the device, with
// room for the scheduling delays of a machine whose cores the renderer fills.
constexpr int kDeviceBufferFrames = 512;
constexpr int kMaxStreams = 64;
constexpr uint32_t kFail = 0xFFFFFFFFu;
constexpr uint64_t kFail64 = ~uint64_t{0};

enum class Error {
  Ok,
  NotStarted,      // Init has not run, or Free has
  AlreadyStarted,  // a second Init; the first one stays in force
  BadHandle,
  FileOpen,        // the file is missing or unreadable
  FileFormat,      // not an MP3 stream, or too long
  BadPosition,
  BadParameter,
  NoFreeStream,
};

// Starts the output. `device` 1 or -1: the default device; 0: no sound (a silent
// device that keeps time). `freq` is the mixing rate; `flags` are accepted and
// ignored. False for a second call while started (nothing changes then).
bool Init(int device, uint32_t freq, uint32_t flags);

// Stops and frees every stream, closes the device. False when not started.
bool Free();

// Reads the file (or copies `length` bytes of memory at `file` when `fromMemory`)
// and returns its handle, stopped at position 0; 0 on failure. `offset`/`length`
// select a byte range of the file, 0/0 the whole of it. The file is read through
// ResolvePath. The flags may hold STREAM_PRESCAN and SAMPLE_LOOP; the length is
// always exact.
Handle StreamCreateFile(bool fromMemory, const void* file, uint64_t offset, uint64_t length, uint32_t flags);
bool StreamFree(Handle stream);

// A file read (and checked, or decoded) ahead of StreamCreateFile, on any
// thread, before or without Init, for the mixing rate `rate`.
struct PreparedFile {
  std::string path;
  int rate = 0;
  Error error = Error::Ok;             // FileOpen or FileFormat when neither is set
  std::unique_ptr<Mp3Stream> source;   // a file at `rate`, to decode as it plays
  std::optional<DecodedAudio> audio;   // else the whole track at `rate`
};
PreparedFile PrepareFile(const std::string& path, int rate);
// StreamCreateFile(false, path, 0, 0, flags) for the file prepared: the same
// outcome, without the decoding. When the library mixes at another rate than the
// one prepared for, the file is read and decoded again here.
Handle StreamCreatePrepared(PreparedFile&& file, uint32_t flags);

// Sets the flags selected by `mask` to those in `flags` (only SAMPLE_LOOP can be
// changed) and returns the flags now in force; kFail on failure.
uint32_t ChannelFlags(Handle stream, uint32_t flags, uint32_t mask);

// Plays from the current position, or from the start when `restart`. The first
// sample goes to the device in its next callback.
bool ChannelPlay(Handle stream, bool restart);
// Stops; the position stays where it is. Silence from the next callback on.
bool ChannelStop(Handle stream);
// 1 while playing, 0 when stopped, ended or unknown.
int ChannelIsActive(Handle stream);

// Positions in POS_BYTE mode: frames handed to the device times kBytesPerFrame.
// A position past the end is refused.
bool ChannelSetPosition(Handle stream, uint64_t pos, uint32_t mode);
uint64_t ChannelGetPosition(Handle stream, uint32_t mode);  // kFail64 on failure
uint64_t ChannelGetLength(Handle stream, uint32_t mode);    // kFail64 on failure

// With `length` DATA_FFT1024: fills kSpectrumSize floats at `buffer` with the
// magnitudes of a Hann-windowed FFT of the stream's last kFftSize frames handed
// to the device (mono mix; silence before its first), scaled so that a
// full-scale sine peaks near 1.0; zeros while stopped. Returns the bytes
// written, kFail on failure. Other requests fail.
uint32_t ChannelGetData(Handle stream, void* buffer, uint32_t length);

// The error of the latest call.
Error ErrorGetCode();

// Diagnostics for tests and benchmarks.
std::string DriverName();  // the device's driver, empty when not started
int MixRate();             // the rate streams are decoded to, 0 when not started
// When the device thread handed over the stream's frame 0 after the latest
// ChannelPlay with restart: the performance counter (platform::AudioCounterNow)
// right after mixing it, and the device frame (counted from the device's
// opening) it went out as. Both 0 / -1 until that has happened.
struct StartStamp {
  int64_t counter = 0;
  int64_t deviceFrame = -1;
};
StartStamp ChannelStartStamp(Handle stream);
// The device's total frames handed and the stream's position, read together.
struct Snapshot {
  int64_t deviceFrames = 0;
  int64_t streamFrames = 0;
  bool playing = false;
};
bool ChannelSnapshot(Handle stream, Snapshot* out);

// The sound device as a clock, for a show that follows its music as it is
// heard. Each callback is stamped when it returns; the frames it handed are
// then queued in the device, which has played them by the next callback (any
// buffering of the device's own beyond that is not known here). Device frames
// count from the device's opening.
//
// Frames handed so far: the next callback starts at this device frame. Read it
// under platform::AudioDeviceLock together with a stream change (play, stop,
// position) to know the device frame from which the change is heard.
int64_t DeviceFramesHanded();
// The device frames played by performance-counter reading `counter`
// (platform::AudioCounterNow), fractional. Once a callback has returned after
// `counter` the value lies on the line between the callbacks around it and
// `settled` is set; before that it is extrapolated from the latest callback at
// the device's measured pace, never past what was handed. -1 (settled) for a
// moment older than the callbacks kept (the last 3 s or so).
double DeviceFramesPlayed(int64_t counter, bool* settled = nullptr);
// Frames a second the device consumes, measured over its latest callbacks
// (the last 0.7 s or so); the mixing rate until a few callbacks have run.
double DevicePace();

}  // namespace VantorGL::audio
