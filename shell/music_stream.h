#pragma once
// MusicStream: one piece of music (the loading tune, the show's music) as the
// application and the registry hold it: the file, the latest spectrum, the
// stream's handle and whether it loops. The library calls are in
// shell/audio_library.h; the helpers below are the sequences the program uses.
// Main thread only.
#include <cstdint>
#include <string>

#include "shell/audio_library.h"

namespace VantorGL {

struct MusicStream {
  static constexpr uint32_t kMixRate = 44100;  // what Open starts the library with

  MusicStream() = default;
  // Stops the stream and frees the audio library (results ignored). Freeing the
  // library ends every other stream too; a later record's calls then fail quietly.
  ~MusicStream();
  MusicStream(const MusicStream&) = delete;
  MusicStream& operator=(const MusicStream&) = delete;

  // Starts the library (device 1, 44100 Hz; harmless when already started), then
  // creates the stream from `path` with the prescan flag. A missing or
  // unreadable file leaves `stream` 0 and the record silent.
  void Open();
  // Open with the file already read and decoded, audio::PrepareFile(path, kMixRate).
  void Open(audio::PreparedFile&& prepared);
  // Makes the stream loop when `loop` is set, sets position 0 and plays with
  // restart: the first sample reaches the device in its next callback.
  void PlayFromStart();
  void Stop();
  // The FFT request: fills `spectrum` from what is playing now.
  void FetchSpectrum();

  std::string path;
  float spectrum[audio::kSpectrumSize] = {};
  audio::Handle stream = 0;   // 0 when creation failed
  uint32_t initWord = 0;      // set to 0 before the library is started; never read
  bool loop = false;
};

}  // namespace VantorGL
