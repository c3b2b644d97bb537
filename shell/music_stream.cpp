#include "shell/music_stream.h"

namespace VantorGL {

MusicStream::~MusicStream() {
  audio::ChannelStop(stream);
  audio::Free();
}

void MusicStream::Open() {
  initWord = 0;
  audio::Init(1, kMixRate, 0);
  stream = audio::StreamCreateFile(false, path.c_str(), 0, 0, audio::STREAM_PRESCAN);
}

void MusicStream::Open(audio::PreparedFile&& prepared) {
  if (prepared.path != path) return Open();
  initWord = 0;
  audio::Init(1, kMixRate, 0);
  stream = audio::StreamCreatePrepared(std::move(prepared), audio::STREAM_PRESCAN);
}

void MusicStream::PlayFromStart() {
  if (loop) audio::ChannelFlags(stream, audio::SAMPLE_LOOP, audio::SAMPLE_LOOP);
  audio::ChannelSetPosition(stream, 0, audio::POS_BYTE);
  audio::ChannelPlay(stream, true);
}

void MusicStream::Stop() { audio::ChannelStop(stream); }

void MusicStream::FetchSpectrum() { audio::ChannelGetData(stream, spectrum, audio::DATA_FFT1024); }

}  // namespace VantorGL
