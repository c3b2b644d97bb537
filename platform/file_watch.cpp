#include "platform/file_watch.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace VantorGL::platform {
namespace {

// Written and closed, renamed into place, or written to: a file that a save
// touched. A file just made, renamed away or removed is no new version yet.
constexpr uint32_t kFileEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MODIFY;
// The directory itself removed or moved away: its watch no longer follows the
// path (IN_IGNORED comes when the kernel drops the watch).
constexpr uint32_t kDirectoryEvents = IN_DELETE_SELF | IN_MOVE_SELF;

void Split(const std::string& path, std::string& dir, std::string& name) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    dir = ".";
    name = path;
  } else {
    dir = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
  }
}

}  // namespace

FileWatch::FileWatch() {
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) error_ = std::string("inotify: ") + std::strerror(errno);
}

FileWatch::~FileWatch() {
  if (fd_ >= 0) close(fd_);  // drops every watch with it
  fd_ = -1;
}

bool FileWatch::Watch(const std::string& path, Directory& directory) {
  const int watch = inotify_add_watch(fd_, path.c_str(), kFileEvents | kDirectoryEvents | IN_ONLYDIR);
  if (watch < 0) {
    error_ = "cannot watch " + path + ": " + std::strerror(errno);
    return false;
  }
  directory.watch = watch;
  std::vector<std::string>& spellings = watched_[watch];
  if (std::find(spellings.begin(), spellings.end(), path) == spellings.end()) spellings.push_back(path);
  return true;
}

bool FileWatch::Add(const std::string& path) {
  if (fd_ < 0) return false;
  std::string dir, name;
  Split(path, dir, name);
  Directory& directory = directories_[dir];
  std::vector<std::string>& paths = directory.files[name];
  if (std::find(paths.begin(), paths.end(), path) == paths.end()) paths.push_back(path);
  return directory.watch >= 0 || Watch(dir, directory);
}

std::vector<FileWatch::Change> FileWatch::Poll() {
  std::vector<Change> changes;
  if (fd_ < 0) return changes;
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n <= 0) break;  // EAGAIN: nothing more now
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      if (e->mask & IN_Q_OVERFLOW) {
        for (const auto& [dir, directory] : directories_)
          for (const auto& [name, paths] : directory.files)
            for (const std::string& p : paths) changes.push_back({p, true});
        continue;
      }
      const auto watched = watched_.find(e->wd);
      if (watched == watched_.end()) continue;  // a watch already given up
      if (e->mask & (kDirectoryEvents | IN_IGNORED)) {
        // A watch on a directory moved away would follow it elsewhere: drop it.
        if (!(e->mask & IN_IGNORED)) inotify_rm_watch(fd_, e->wd);
        for (const std::string& spelling : watched->second) directories_[spelling].watch = -1;
        watched_.erase(watched);
        continue;
      }
      if (e->len == 0 || !(e->mask & kFileEvents)) continue;
      const bool complete = (e->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0;
      for (const std::string& spelling : watched->second) {
        const Directory& directory = directories_[spelling];
        const auto file = directory.files.find(e->name);
        if (file == directory.files.end()) continue;
        for (const std::string& p : file->second) changes.push_back({p, complete});
      }
    }
  }
  // Directories not watched now: each one found again may hold new versions
  // of its files, written while nobody watched (or still being written).
  for (auto& [dir, directory] : directories_) {
    if (directory.watch >= 0) continue;
    if (!Watch(dir, directory)) continue;
    for (const auto& [name, paths] : directory.files) {
      struct stat st {};
      if (stat((dir + "/" + name).c_str(), &st) != 0) continue;
      for (const std::string& p : paths) changes.push_back({p, false});
    }
  }
  return changes;
}

}  // namespace VantorGL::platform
