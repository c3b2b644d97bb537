#pragma once
// FileWatch: which of a set of files something wrote to disk, through Linux
// inotify. Each file's directory is watched rather than the file itself, so a
// save that writes a new file and renames it over the old one (what most
// editors and exporters do) is seen as well as a write in place, and a file
// removed and made again is still followed.
//
// Nothing here waits or runs on a thread of its own: the owner polls, and
// Poll never blocks. Main thread only.
#include <map>
#include <string>
#include <vector>

namespace VantorGL::platform {

class FileWatch {
 public:
  struct Change {
    std::string path;       // as given to Add
    bool complete = false;  // closed after writing, or renamed into place;
                            // false: written to and possibly still being written
  };

  FileWatch();  // starts inotify; see ok()
  ~FileWatch();
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;

  // False when inotify could not be started (error() says why); every call is
  // then harmless and Poll finds nothing.
  bool ok() const { return fd_ >= 0; }
  const std::string& error() const { return error_; }

  // Follows the file at `path` (relative to the working directory or absolute;
  // it need not exist yet, its directory must). False with error() set when
  // the directory cannot be watched.
  bool Add(const std::string& path);

  // What happened to the followed files since the last call, one entry per
  // event in the order seen (a file may appear more than once). When the
  // kernel's queue overflowed, every followed file is reported as complete.
  std::vector<Change> Poll();

 private:
  int fd_ = -1;
  std::string error_;
  std::map<int, std::string> directories_;                    // watch -> directory
  std::map<std::string, int> watches_;                        // directory -> watch
  std::map<std::pair<int, std::string>, std::vector<std::string>> files_;  // (watch, name) -> paths
};

}  // namespace VantorGL::platform
