#include "makers/capture_output.h"

#include <dirent.h>
#include <fcntl.h>
#include <png.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

namespace VantorGL::capture {
namespace {

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

// Temporary files and encoder processes alive now, for the clean-ups that
// cannot wait for destructors: an exit that skips them (ExitProgram, or
// std::exit from a library) and a second Ctrl-C, whose handler may run on any
// thread while others add and remove entries. Fixed slots, taken and given
// back atomically, read with async-signal-safe calls only.
enum SlotState : int { kFree, kFilling, kInUse, kRemoving };
struct Slot {
  std::atomic<int> state{kFree};
  pid_t encoder = 0;      // an ffmpeg writing into a temporary file; else
  char path[4096] = {};   // a temporary file
};
constexpr int kSlots = 16;  // a capture has four at most: a frame, the video, its encoder, the sheet
Slot g_slots[kSlots];
// Temporary files and encoders being made now (registered, not yet on disk or
// not yet known by their process id), in all threads and in this one.
std::atomic<int> g_making{0};
thread_local int t_making = 0;
std::atomic<bool> g_removing{false};  // the clean-up has begun: nothing new is made

int Register(const std::string& path, pid_t encoder) {
  if (path.size() >= sizeof Slot::path) return -1;  // not a path open() would take either
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!g_slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
    g_slots[i].encoder = encoder;
    g_slots[i].state.store(kInUse);
    return i;
  }
  return -1;
}
void Unregister(int& slot) {
  if (slot < 0) return;
  int expected = kInUse;
  g_slots[slot].state.compare_exchange_strong(expected, kFree);  // kRemoving: the clean-up has it
  slot = -1;
}

// Brackets the making of a temporary file or an encoder, from its registration
// until it is on disk or its process id is known: the clean-up waits for what
// is being made, and once it has begun nothing new is made.
class Making {
 public:
  Making() {
    ++t_making;
    g_making.fetch_add(1);
    if (g_removing.load()) {
      g_making.fetch_sub(1);
      --t_making;
      for (;;) pause();  // the process is ending
    }
  }
  ~Making() {
    g_making.fetch_sub(1);
    --t_making;
  }
  Making(const Making&) = delete;
  Making& operator=(const Making&) = delete;
};

void CleanUpAtExit() { RemovePendingFiles(); }
void RegisterExitHandler() {
  static const bool registered = [] {
    return std::atexit(CleanUpAtExit) == 0 && std::at_quick_exit(CleanUpAtExit) == 0;
  }();
  (void)registered;
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}
std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Digits, ':' and '.' as 3 x 5 cells, one row per 3 bits (top row first).
const uint8_t* Glyph(char c) {
  static const uint8_t kDigits[10][5] = {
      {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
      {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 2, 2}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};
  static const uint8_t kColon[5] = {0, 2, 0, 2, 0};
  static const uint8_t kPoint[5] = {0, 0, 0, 0, 2};
  if (c >= '0' && c <= '9') return kDigits[c - '0'];
  if (c == ':') return kColon;
  if (c == '.') return kPoint;
  return nullptr;
}

void DrawText(Picture& p, int x, int y, const std::string& text, int scale, uint8_t grey) {
  for (char c : text) {
    const uint8_t* rows = Glyph(c);
    if (rows) {
      for (int r = 0; r < 5; ++r)
        for (int col = 0; col < 3; ++col) {
          if (!(rows[r] & (4 >> col))) continue;
          for (int dy = 0; dy < scale; ++dy)
            for (int dx = 0; dx < scale; ++dx) {
              const int px = x + col * scale + dx, py = y + r * scale + dy;
              if (px < 0 || py < 0 || px >= p.width || py >= p.height) continue;
              uint8_t* q = &p.rgb[(static_cast<size_t>(py) * p.width + px) * 3];
              q[0] = q[1] = q[2] = grey;
            }
        }
    }
    x += 4 * scale;
  }
}

}  // namespace

namespace {
void AppendToVector(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  try {
    out->insert(out->end(), data, data + size);
  } catch (const std::bad_alloc&) {
    png_error(png, "out of memory");  // an exception must not cross libpng's frames
  }
}
void NoFlush(png_structp) {}
}  // namespace

namespace {
// libpng reports errors by longjmp: nothing here lives across the jump but the arguments.
bool WritePng(png_structp png, png_infop info, const Picture& picture, int level, std::vector<uint8_t>* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, AppendToVector, NoFlush);
  png_set_compression_level(png, level);
  // One filter for every row: as small, and much faster than trying all five.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < picture.height; ++y)
    png_write_row(png, const_cast<png_bytep>(&picture.rgb[static_cast<size_t>(y) * picture.width * 3]));
  png_write_end(png, info);
  return true;
}
}  // namespace

void RemovePendingFiles() {
  g_removing.store(true);
  // What other threads are making gets onto disk first, within a moment.
  for (int i = 0; i < 2000 && g_making.load() > t_making; ++i) {
    const timespec ms{0, 1000000};
    nanosleep(&ms, nullptr);
  }
  bool taken[kSlots] = {};
  for (int i = 0; i < kSlots; ++i) {
    int expected = kInUse;
    taken[i] = g_slots[i].state.compare_exchange_strong(expected, kRemoving);
  }
  // Encoders first: they write into the files.
  for (int i = 0; i < kSlots; ++i) {
    if (!taken[i] || g_slots[i].encoder <= 0) continue;
    kill(g_slots[i].encoder, SIGKILL);
    while (waitpid(g_slots[i].encoder, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  for (int i = 0; i < kSlots; ++i)
    if (taken[i] && g_slots[i].encoder <= 0) unlink(g_slots[i].path);
}

int RemoveAbandonedFiles(const std::string& dir, const std::function<bool(const std::string&)>& ours) {
  DIR* d = opendir(dir.c_str());
  if (!d) return 0;
  int removed = 0;
  static const std::string kPart = ".part-";
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    const size_t at = name.rfind(kPart);
    if (name[0] != '.' || at == std::string::npos || at < 2 || !ours(name.substr(1, at - 1))) continue;
    const std::string digits = name.substr(at + kPart.size());
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(digits));
    // Only a process that is certainly gone: not ours, not a running capture's.
    if (pid <= 0 || pid == getpid() || kill(pid, 0) == 0 || errno != ESRCH) continue;
    if (unlink((dir + "/" + name).c_str()) == 0) ++removed;
  }
  closedir(d);
  return removed;
}

bool EncodePng(const Picture& picture, int level, std::vector<uint8_t>* out) {
  out->clear();
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const bool ok = png && info && WritePng(png, info, picture, level, out);
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  return ok;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    *error = SystemError("cannot write " + path);
    return false;
  }
  const bool written = WriteAll(fd, bytes.data(), bytes.size());
  const int savedErrno = errno;
  const bool closed = close(fd) == 0;
  if (!written || !closed) {
    if (!written) errno = savedErrno;
    *error = SystemError("cannot write " + path);
    return false;
  }
  return true;
}

bool WritePng(const std::string& path, const Picture& picture, int level, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!EncodePng(picture, level, &bytes)) {
    *error = "cannot encode " + path;
    return false;
  }
  return WriteBytes(path, bytes, error);
}

std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    // Made whole, not assigned "." afterwards: GCC 12 at -O3 warns falsely
    // (-Wrestrict) on that assignment.
    const std::string dir = end > start ? dirs.substr(start, end - start) : std::string(".");
    const std::string candidate = dir + "/" + name;
    struct stat st {};
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return "";
}

bool MakeDirectories(const std::string& dir, std::string* error) {
  if (dir.empty()) return true;
  std::string partial;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = dir.find('/', pos + 1);
    partial = dir.substr(0, pos);
    if (partial.empty()) continue;
    if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) {
      *error = SystemError("cannot make the directory " + partial);
      return false;
    }
  }
  struct stat st {};
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    *error = dir + " is not a directory";
    return false;
  }
  return true;
}

PendingFile::PendingFile(std::string finalPath) : finalPath_(std::move(finalPath)) {
  tempPath_ = DirectoryOf(finalPath_) + "/." + BaseName(finalPath_) + ".part-" + std::to_string(getpid());
  RegisterExitHandler();
  slot_ = Register(tempPath_, 0);
}

PendingFile::~PendingFile() { Discard(); }

bool PendingFile::Commit(std::string* error) {
  if (!pending_) return true;
  if (std::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) {
    *error = SystemError("cannot rename " + tempPath_ + " to " + finalPath_);
    Discard();
    return false;
  }
  pending_ = false;
  Unregister(slot_);
  return true;
}

void PendingFile::Discard() {
  if (!pending_) return;
  unlink(tempPath_.c_str());
  Unregister(slot_);
  pending_ = false;
}

bool FrameDirectory::Open(const std::string& dir, std::string* error) {
  dir_ = dir;
  return MakeDirectories(dir, error);
}

std::string FrameDirectory::FileName(int64_t frame) {
  char name[32];
  std::snprintf(name, sizeof name, "frame_%06lld.png", static_cast<long long>(frame));
  return name;
}

bool FrameDirectory::WriteEncoded(int64_t frame, const std::vector<uint8_t>& png, std::string* error) {
  Making making;
  PendingFile file(dir_ + "/" + FileName(frame));
  return WriteBytes(file.path(), png, error) && file.Commit(error);
}

VideoEncoder::~VideoEncoder() { Abort(); }

bool VideoEncoder::Start(const Settings& s, std::string* error) {
  Making making;
  settings_ = s;
  file_ = std::make_unique<PendingFile>(s.path);
  char seconds[64];
  std::snprintf(seconds, sizeof seconds, "%.6f", static_cast<double>(s.frames) / s.fps);
  char musicStart[32];
  std::snprintf(musicStart, sizeof musicStart, "%.3f", s.musicStartMs / 1000.0);

  std::vector<std::string>& c = command_;
  c = {s.ffmpeg, "-hide_banner", "-loglevel", "error", "-nostats", "-y",
       "-f", "rawvideo", "-pix_fmt", "yuv420p", "-video_size",
       std::to_string(s.width + s.width % 2) + "x" + std::to_string(s.height + s.height % 2),
       "-framerate", std::to_string(s.fps), "-i", "pipe:0"};
  if (!s.music.empty()) c.insert(c.end(), {"-ss", musicStart, "-t", seconds, "-i", s.music});
  c.insert(c.end(), {"-map", "0:v:0"});
  if (!s.music.empty()) c.insert(c.end(), {"-map", "1:a:0"});
  // No B-frames: weighing them took a fifth to a quarter of x264's time, on
  // Tessaly's show (its pictures mostly repeat) and on its water scene alike;
  // at the same quality the file is 5 % larger there, a fifth here.
  c.insert(c.end(), {"-c:v", "libx264", "-preset", "veryfast", "-bf", "0", "-crf", "18", "-pix_fmt", "yuv420p"});
  if (!s.music.empty()) c.insert(c.end(), {"-c:a", "aac", "-b:a", "192k", "-af", "apad"});
  // The same command writes the same bytes: no dates or version strings.
  c.insert(c.end(), {"-t", seconds, "-map_metadata", "-1", "-fflags", "+bitexact", "-flags:v", "+bitexact",
                     "-flags:a", "+bitexact"});
  if (s.format == "mp4" || s.format == "mov") c.insert(c.end(), {"-movflags", "+faststart"});
  c.insert(c.end(), {"-f", s.format, file_->path()});

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    *error = SystemError("cannot make a pipe to ffmpeg");
    return false;
  }
  std::vector<char*> argv;
  for (std::string& a : c) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ < 0) {
    *error = SystemError("cannot start ffmpeg");
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid_ == 0) {
    // A group of its own: Ctrl-C on the terminal is ours to handle, not ffmpeg's.
    setpgid(0, 0);
    // Its life is ours: were this process killed outright, ffmpeg would see its
    // input end and finish a video nobody wanted. The signal comes when the
    // thread that forked ends, so encoders are started from the main thread.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(127);
    signal(SIGPIPE, SIG_DFL);
    dup2(fds[0], 0);
    execv(argv[0], argv.data());
    _exit(127);
  }
  encoderSlot_ = Register(file_->path(), pid_);
  close(fds[0]);
  pipe_ = fds[1];
  // A frame is megabytes: a pipe of 1 MiB instead of 64 KiB hands it over in a
  // few steps instead of dozens (a smaller limit set for the system is kept).
  fcntl(pipe_, F_SETPIPE_SZ, 1 << 20);
  return true;
}

std::vector<uint8_t> VideoEncoder::MakeFrame(const Picture& picture) {
  const int w = picture.width, h = picture.height;
  const int cw = (w + 1) / 2, ch = (h + 1) / 2;
  const size_t lumaBytes = static_cast<size_t>(2 * cw) * (2 * ch);
  // Black: Y 16, U and V 128.
  std::vector<uint8_t> frame(lumaBytes, 16);
  frame.resize(lumaBytes + 2 * static_cast<size_t>(cw) * ch, 128);
  uint8_t* luma = frame.data();
  uint8_t* u = luma + lumaBytes;
  uint8_t* v = u + static_cast<size_t>(cw) * ch;
  const uint8_t* rgb = picture.rgb.data();
  for (int y = 0; y < h; ++y) {
    const uint8_t* p = rgb + static_cast<size_t>(y) * w * 3;
    uint8_t* out = luma + static_cast<size_t>(y) * 2 * cw;
    for (int x = 0; x < w; ++x, p += 3)
      out[x] = static_cast<uint8_t>(((66 * p[0] + 129 * p[1] + 25 * p[2] + 128) >> 8) + 16);
  }
  // Rounded to nearest: a sum over n pixels, scaled by 256 n.
  auto chroma = [](int sum, int n) {
    const int den = 256 * n, t = sum + den / 2;
    const int q = t >= 0 ? t / den : -((-t + den - 1) / den);
    return static_cast<uint8_t>(128 + q);
  };
  for (int cy = 0; cy < ch; ++cy) {
    const int rows = std::min(2, h - 2 * cy);
    for (int cx = 0; cx < cw; ++cx) {
      const int cols = std::min(2, w - 2 * cx);
      int r = 0, g = 0, b = 0;
      for (int dy = 0; dy < rows; ++dy)
        for (int dx = 0; dx < cols; ++dx) {
          const uint8_t* p = rgb + (static_cast<size_t>(2 * cy + dy) * w + 2 * cx + dx) * 3;
          r += p[0], g += p[1], b += p[2];
        }
      const int n = rows * cols;
      u[static_cast<size_t>(cy) * cw + cx] = chroma(-38 * r - 74 * g + 112 * b, n);
      v[static_cast<size_t>(cy) * cw + cx] = chroma(112 * r - 94 * g - 18 * b, n);
    }
  }
  return frame;
}

bool VideoEncoder::Write(const Picture& picture, std::string* error) { return WriteFrame(MakeFrame(picture), error); }

bool VideoEncoder::WriteFrame(const std::vector<uint8_t>& frame, std::string* error) {
  if (pipe_ < 0) {
    *error = "ffmpeg is not running";
    return false;
  }
  if (!WriteAll(pipe_, frame.data(), frame.size())) {
    *error = "ffmpeg stopped taking frames (see its message above)";
    return false;
  }
  return true;
}

bool VideoEncoder::Finish(std::string* error) {
  if (pid_ < 0) {
    *error = "ffmpeg is not running";
    return false;
  }
  close(pipe_);
  pipe_ = -1;
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  Unregister(encoderSlot_);
  pid_ = -1;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    *error = WIFEXITED(status) && WEXITSTATUS(status) == 127 ? "ffmpeg could not be run"
                                                              : "ffmpeg failed (see its message above)";
    file_->Discard();
    return false;
  }
  return file_->Commit(error);
}

void VideoEncoder::Abort() {
  if (pipe_ >= 0) close(pipe_);
  pipe_ = -1;
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    Unregister(encoderSlot_);
    pid_ = -1;
  }
  if (file_) file_->Discard();
}

void ContactSheet::Begin(int width, int height, int64_t cells) {
  thumbWidth_ = std::min(width, 240);
  thumbHeight_ = std::max(1, (height * thumbWidth_ + width / 2) / width);
  columns_ = static_cast<int>(std::clamp<int64_t>(cells, 1, kColumnsMax));
  const int rows = static_cast<int>(std::max<int64_t>(1, (cells + columns_ - 1) / columns_));
  sheet_.width = kGap + columns_ * (thumbWidth_ + kGap);
  sheet_.height = kGap + rows * (thumbHeight_ + kLabelHeight + kGap);
  sheet_.rgb.assign(static_cast<size_t>(sheet_.width) * sheet_.height * 3, 0);
  for (size_t i = 0; i < sheet_.rgb.size(); i += 3) {
    sheet_.rgb[i] = 24;
    sheet_.rgb[i + 1] = 24;
    sheet_.rgb[i + 2] = 28;
  }
}

void ContactSheet::Add(int64_t cell, const Picture& frame, int32_t musicTimeMs) {
  const int col = static_cast<int>(cell % columns_);
  const int row = static_cast<int>(cell / columns_);
  const int x0 = kGap + col * (thumbWidth_ + kGap);
  const int y0 = kGap + row * (thumbHeight_ + kLabelHeight + kGap);
  if (y0 + thumbHeight_ + kLabelHeight > sheet_.height) return;
  // Each cell pixel is the mean of the frame pixels it covers.
  for (int ty = 0; ty < thumbHeight_; ++ty) {
    const int sy0 = ty * frame.height / thumbHeight_;
    const int sy1 = std::max(sy0 + 1, (ty + 1) * frame.height / thumbHeight_);
    for (int tx = 0; tx < thumbWidth_; ++tx) {
      const int sx0 = tx * frame.width / thumbWidth_;
      const int sx1 = std::max(sx0 + 1, (tx + 1) * frame.width / thumbWidth_);
      uint32_t sum[3] = {0, 0, 0};
      for (int sy = sy0; sy < sy1; ++sy) {
        const uint8_t* p = &frame.rgb[(static_cast<size_t>(sy) * frame.width + sx0) * 3];
        for (int sx = sx0; sx < sx1; ++sx, p += 3) {
          sum[0] += p[0];
          sum[1] += p[1];
          sum[2] += p[2];
        }
      }
      const uint32_t n = static_cast<uint32_t>((sy1 - sy0) * (sx1 - sx0));
      uint8_t* q = &sheet_.rgb[(static_cast<size_t>(y0 + ty) * sheet_.width + x0 + tx) * 3];
      for (int c = 0; c < 3; ++c) q[c] = static_cast<uint8_t>((sum[c] + n / 2) / n);
    }
  }
  char label[32];
  std::snprintf(label, sizeof label, "%d:%02d.%d", musicTimeMs / 60000, (musicTimeMs / 1000) % 60,
                (musicTimeMs / 100) % 10);
  DrawText(sheet_, x0, y0 + thumbHeight_ + 2, label, 2, 200);
}

bool ContactSheet::Write(const std::string& path, std::string* error) {
  std::vector<uint8_t> png;
  if (!EncodePng(sheet_, 6, &png)) {
    *error = "cannot encode " + path;
    return false;
  }
  Making making;
  PendingFile file(path);
  return WriteBytes(file.path(), png, error) && file.Commit(error);
}

}  // namespace VantorGL::capture
