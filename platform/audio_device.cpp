#include "platform/audio_device.h"

#include <SDL.h>
#include <alsa/asoundlib.h>

#include <atomic>
#include <cstdio>

namespace VantorGL::platform {
namespace {

struct Device {
  SDL_AudioDeviceID id = 0;
  bool ownsSubsystem = false;  // taken through SDL_InitSubSystem (reference counted)
  bool audioInitDirect = false;  // started with SDL_AudioInit, ended with SDL_AudioQuit
  AudioRender render = nullptr;
  void* user = nullptr;
  int bufferFrames = 0;
  std::atomic<int64_t> framesHanded{0};
  std::string driver;
  bool silentFallback = false;  // no real device opened; the dummy driver runs
};

// Never destroyed. Its first use comes after static objects that hold music
// (the application's) were built, so a destroyed device would go before them;
// their destructors close it, and the audio thread holds a pointer to it until then.
Device& TheDevice() {
  static Device& device = *new Device;
  return device;
}

void SDLCALL Callback(void* userdata, Uint8* stream, int len) {
  Device& d = *static_cast<Device*>(userdata);
  const int frames = len / static_cast<int>(2 * sizeof(float));
  d.render(d.user, reinterpret_cast<float*>(stream), frames);
  d.framesHanded.fetch_add(frames, std::memory_order_relaxed);
}

// ALSA reports each failed step of opening a card on standard error ("ALSA
// lib ..."), about ten lines on a machine without one, before the dummy driver
// takes over. While the device is being opened those reports are dropped: the
// outcome is what counts, and the caller tells it once. Afterwards ALSA's own
// handler is back, for a real device's later troubles. (SDL loads the same
// libasound at run time, so the handler set here is the one it meets.)
void DropAlsaReport(const char*, int, const char*, int, const char*, ...) {}

class AlsaReportsDropped {
 public:
  AlsaReportsDropped() { snd_lib_error_set_handler(DropAlsaReport); }
  ~AlsaReportsDropped() { snd_lib_error_set_handler(nullptr); }
  AlsaReportsDropped(const AlsaReportsDropped&) = delete;
  AlsaReportsDropped& operator=(const AlsaReportsDropped&) = delete;
};

SDL_AudioDeviceID OpenOn(Device& d, const AudioDeviceSettings& s) {
  SDL_AudioSpec want{};
  want.freq = s.rate;
  want.format = AUDIO_F32SYS;
  want.channels = 2;
  want.samples = static_cast<Uint16>(s.bufferFrames);
  want.callback = Callback;
  want.userdata = &d;
  SDL_AudioSpec have{};
  // No allowed changes: SDL converts to whatever the hardware wants, so the
  // renderer always sees the format and callback size it asked for.
  return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
}

}  // namespace

bool OpenAudioDevice(const AudioDeviceSettings& settings, AudioRender render, void* user) {
  Device& d = TheDevice();
  if (d.id != 0) return false;
  if (!render || settings.rate <= 0 || settings.bufferFrames <= 0 || settings.bufferFrames > 32768)
    return false;
  d.render = render;
  d.user = user;
  d.framesHanded.store(0);
  d.silentFallback = false;

  const AlsaReportsDropped quiet;
  if (!settings.noSound && SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    d.ownsSubsystem = true;
    d.id = OpenOn(d, settings);
  }
  if (d.id == 0) {
    // No device here (a headless machine, no sound server): run on the dummy
    // driver, which paces the callback like a real device but plays nothing.
    if (d.ownsSubsystem) {
      SDL_AudioQuit();
    }
    if (SDL_AudioInit("dummy") == 0) {
      if (!d.ownsSubsystem) d.audioInitDirect = true;
      d.id = OpenOn(d, settings);
      d.silentFallback = d.id != 0 && !settings.noSound;
    }
  }
  if (d.id == 0) {
    std::fprintf(stderr, "audio: no output device, not even a silent one: %s\n", SDL_GetError());
    CloseAudioDevice();
    return false;
  }
  const char* name = SDL_GetCurrentAudioDriver();
  d.driver = name ? name : "";
  d.bufferFrames = settings.bufferFrames;
  SDL_PauseAudioDevice(d.id, 0);
  return true;
}

void CloseAudioDevice() {
  Device& d = TheDevice();
  if (d.id != 0) SDL_CloseAudioDevice(d.id);  // joins the audio thread
  d.id = 0;
  if (d.ownsSubsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  if (d.audioInitDirect) SDL_AudioQuit();
  d.ownsSubsystem = false;
  d.audioInitDirect = false;
  d.render = nullptr;
  d.user = nullptr;
  d.bufferFrames = 0;
  d.driver.clear();
  d.silentFallback = false;
}

bool AudioDeviceIsOpen() { return TheDevice().id != 0; }

std::string AudioDriverName() { return TheDevice().driver; }

bool AudioDeviceIsSilentFallback() { return TheDevice().silentFallback; }

int AudioDeviceBufferFrames() { return TheDevice().bufferFrames; }

int64_t AudioFramesHanded() { return TheDevice().framesHanded.load(std::memory_order_relaxed); }

int64_t AudioCounterNow() { return static_cast<int64_t>(SDL_GetPerformanceCounter()); }

int64_t AudioCounterFrequency() { return static_cast<int64_t>(SDL_GetPerformanceFrequency()); }

AudioDeviceLock::AudioDeviceLock() : device_(TheDevice().id) {
  if (device_ != 0) SDL_LockAudioDevice(device_);
}

AudioDeviceLock::~AudioDeviceLock() {
  if (device_ != 0) SDL_UnlockAudioDevice(device_);
}

}  // namespace VantorGL::platform
