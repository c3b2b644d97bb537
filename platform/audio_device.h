#pragma once
// The sound device: one SDL2 output of interleaved stereo 32-bit floats at a fixed
// rate, pulled by SDL's own audio thread through a render function. When no real
// device opens (no sound server, no card) the "dummy" driver takes its place, so
// the callback still runs at about real time and everything above plays silently.
//
// Threads: Open/Close/Lock are called from the main thread; the render function
// runs on SDL's audio thread with the device lock held, so anything the main
// thread changes under AudioDeviceLock is never seen half-done by the renderer.
// One device per process.
#include <cstdint>
#include <string>

namespace VantorGL::platform {

// Fills `frames` stereo frames (2 * frames floats) at `out`. Must not block.
using AudioRender = void (*)(void* user, float* out, int frames);

struct AudioDeviceSettings {
  int rate = 44100;          // frames per second
  int bufferFrames = 1024;   // frames per callback; bounds the start latency
  bool noSound = false;      // use the dummy driver straight away
};

// Opens the device and starts the callback at once (it renders silence until
// something plays). False only when not even the dummy driver opens; nothing
// runs then.
bool OpenAudioDevice(const AudioDeviceSettings& settings, AudioRender render, void* user);

// Stops the callback (waits for a running one to end) and closes the device.
void CloseAudioDevice();

bool AudioDeviceIsOpen();

// The driver that runs the device ("pulseaudio", "alsa", "dummy", "disk", ...),
// empty when closed.
std::string AudioDriverName();

// True while the dummy driver runs because no real device opened (as opposed
// to noSound, or a driver the user chose). ALSA's complaints on the way there
// never reach standard error.
bool AudioDeviceIsSilentFallback();

// Frames per callback the device runs with.
int AudioDeviceBufferFrames();

// Frames the render function has handed to the device since it was opened; kept
// after closing until the next open. Read it under AudioDeviceLock to compare
// with what the renderer keeps. SDL may write a silent buffer or two of its own
// before the first callback, which this count leaves out.
int64_t AudioFramesHanded();

// The performance counter read directly: safe on any thread, and unaffected by a
// clock source that a test installs for cTimer (platform/clock.h).
int64_t AudioCounterNow();
int64_t AudioCounterFrequency();

// Holds the render function off while it lives. Keep the hold short: the device
// starves meanwhile. A no-op when no device is open.
class AudioDeviceLock {
 public:
  AudioDeviceLock();
  ~AudioDeviceLock();
  AudioDeviceLock(const AudioDeviceLock&) = delete;
  AudioDeviceLock& operator=(const AudioDeviceLock&) = delete;

 private:
  uint32_t device_;
};

}  // namespace VantorGL::platform
