#pragma once
// FileWatch: which of a set of files something wrote to disk, through Linux
// inotify. Each file's directory is watched rather than the file itself, so a
// save that writes a new file and renames it over the old one (what most
// editors and exporters do) is seen as well as a write in place, and a file
// removed and made again is still followed. A directory that is itself removed
// and made again (a checkout, `rsync --delete`, regenerated content), or that
// could not be watched when its file was added, is watched again from the
// first Poll that finds it; its followed files are then reported as changed.
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
  // it need not exist yet). False with error() set when its directory cannot be
  // watched now (missing, unreadable, no watches left): the file is followed
  // all the same from the Poll at which the directory can be watched.
  bool Add(const std::string& path);

  // What happened to the followed files since the last call, one entry per
  // event in the order seen (a file may appear more than once). When the
  // kernel's queue overflowed, every followed file is reported as complete.
  std::vector<Change> Poll();

 private:
  struct Directory {
    int watch = -1;                                           // -1: not watched now
    std::map<std::string, std::vector<std::string>> files;    // name -> paths as given
  };
  bool Watch(const std::string& path, Directory& directory);  // false with error_ set

  int fd_ = -1;
  std::string error_;
  std::map<std::string, Directory> directories_;  // directory as spelled -> its watch and files
  // Watch -> every spelling of its directory. inotify keeps one watch a
  // directory: "d", "d/." and a link to d are given the same one.
  std::map<int, std::vector<std::string>> watched_;
};

}  // namespace VantorGL::platform
