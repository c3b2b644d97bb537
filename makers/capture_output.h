#pragma once
// Where captured frames go: PNG files, a video through the ffmpeg program, a
// contact sheet. Every file is written under a temporary name in its final
// directory and renamed into place only when complete, so an interrupted or
// failed capture never leaves a half-written file under the name asked for.
// Temporary files still pending when the process exits (also through
// ExitProgram) are removed then, after any ffmpeg still writing one is stopped;
// RemovePendingFiles does the same at once, from a signal handler too.
// One thread at a time: the capture's, or its writer's while frames are written.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace VantorGL::capture {

// An RGB picture, 8 bits a channel, top row first.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

// PNG of an RGB picture (zlib level 0..9). False with `error` set on failure.
bool WritePng(const std::string& path, const Picture& picture, int level, std::string* error);
// The same PNG file's bytes in memory. False when libpng fails.
bool EncodePng(const Picture& picture, int level, std::vector<uint8_t>* out);
// `bytes` as the whole file `path`. False with `error` set.
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

// The absolute path of `name` found on PATH; "" when it is not there.
std::string FindProgram(const std::string& name);

// Makes `dir` and its missing parents. False with `error` set.
bool MakeDirectories(const std::string& dir, std::string* error);

// Stops every encoder and removes every temporary file pending now; what
// another thread is making then is waited for (a moment at most), and nothing
// new is made afterwards: for a process about to end. Async-signal-safe.
void RemovePendingFiles();

// Removes from `dir` the temporary files (".<name>.part-<pid>") of captures that
// no longer run: one killed outright (SIGKILL, a crash) could not. Only those
// whose final name `ours` accepts; those of a running process, or whose process
// cannot be told, are left. Returns how many.
int RemoveAbandonedFiles(const std::string& dir, const std::function<bool(const std::string&)>& ours);

// A file being written under "<dir>/.<name>.part-<pid>" until Commit renames
// it to its final path. Destroyed uncommitted, the temporary file is removed.
class PendingFile {
 public:
  explicit PendingFile(std::string finalPath);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  const std::string& path() const { return tempPath_; }
  const std::string& finalPath() const { return finalPath_; }
  bool Commit(std::string* error);
  void Discard();

 private:
  std::string finalPath_;
  std::string tempPath_;
  bool pending_ = true;
  int slot_ = -1;  // in the list of what RemovePendingFiles removes
};

// --frames DIR: DIR/frame_NNNNNN.png, one per kept frame.
class FrameDirectory {
 public:
  // Makes the directory. False with `error` set.
  bool Open(const std::string& dir, std::string* error);
  // A frame's file from its PNG bytes (EncodePng at kLevel).
  bool WriteEncoded(int64_t frame, const std::vector<uint8_t>& png, std::string* error);
  static std::string FileName(int64_t frame);
  // Frames are many and large: the time goes into the next frame instead.
  static constexpr int kLevel = 1;

 private:
  std::string dir_;
};

// --out FILE: raw frames piped into ffmpeg, which encodes H.264 (yuv420p; an odd
// side is padded by one pixel) and muxes the music from `musicStartMs` for the
// capture's length as AAC, padded with silence where the music ends first.
class VideoEncoder {
 public:
  struct Settings {
    std::string ffmpeg;       // the program
    std::string path;         // the final name
    std::string format;       // ffmpeg's container name
    int width = 0, height = 0, fps = 60;
    int64_t frames = 0;       // how many frames will come
    std::string music;        // "" for a silent video
    int32_t musicStartMs = 0;
  };
  VideoEncoder() = default;
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  bool Start(const Settings& settings, std::string* error);
  bool Write(const Picture& picture, std::string* error);
  // The frame as ffmpeg is given it: 4:2:0 YUV (BT.601, video range), the sides
  // rounded up to even with black; each chroma sample from the 2 x 2 pixels it
  // covers inside the picture. Made once for a frame shown many times.
  static std::vector<uint8_t> MakeFrame(const Picture& picture);
  bool WriteFrame(const std::vector<uint8_t>& frame, std::string* error);
  // Ends the input, waits for ffmpeg, and renames the video into place.
  bool Finish(std::string* error);
  // Stops ffmpeg and removes what it wrote.
  void Abort();
  // The command line ffmpeg is started with (for the log).
  const std::vector<std::string>& command() const { return command_; }

 private:
  Settings settings_;
  std::unique_ptr<PendingFile> file_;
  pid_t pid_ = -1;
  int encoderSlot_ = -1;
  int pipe_ = -1;
  std::vector<std::string> command_;
};

// --sheet FILE: one cell per second of the capture, each a scaled-down frame
// with its music time under it; written when the capture is complete.
class ContactSheet {
 public:
  // `cells` frames of `width` x `height` will be added.
  void Begin(int width, int height, int64_t cells);
  void Add(int64_t cell, const Picture& frame, int32_t musicTimeMs);
  bool Write(const std::string& path, std::string* error);
  const Picture& picture() const { return sheet_; }

  static constexpr int kColumnsMax = 8;
  static constexpr int kGap = 6;
  static constexpr int kLabelHeight = 14;

 private:
  int thumbWidth_ = 0, thumbHeight_ = 0, columns_ = 1;
  Picture sheet_;
};

}  // namespace VantorGL::capture
