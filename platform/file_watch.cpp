#include "platform/file_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace VantorGL::platform {
namespace {

// Written and closed, renamed into place, or written to: a file that a save
// touched. A file just made, renamed away or removed is no new version yet.
constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MODIFY;

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

bool FileWatch::Add(const std::string& path) {
  if (fd_ < 0) return false;
  std::string dir, name;
  Split(path, dir, name);
  int watch;
  if (auto it = watches_.find(dir); it != watches_.end()) {
    watch = it->second;
  } else {
    watch = inotify_add_watch(fd_, dir.c_str(), kEvents);
    if (watch < 0) {
      error_ = "cannot watch " + dir + ": " + std::strerror(errno);
      return false;
    }
    watches_[dir] = watch;
    directories_[watch] = dir;
  }
  std::vector<std::string>& paths = files_[{watch, name}];
  for (const std::string& p : paths)
    if (p == path) return true;
  paths.push_back(path);
  return true;
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
        for (const auto& [key, paths] : files_)
          for (const std::string& p : paths) changes.push_back({p, true});
        continue;
      }
      if (e->len == 0 || !(e->mask & kEvents)) continue;
      auto it = files_.find({e->wd, std::string(e->name)});
      if (it == files_.end()) continue;
      const bool complete = (e->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0;
      for (const std::string& p : it->second) changes.push_back({p, complete});
    }
  }
  return changes;
}

}  // namespace VantorGL::platform
