#pragma once
// LoadAhead: work done ahead of its use on worker threads, while the main thread
// opens windows and does all the GL work. Jobs are numbered in the order they are
// added and start in that order, at most `window` of them past the last one the
// main thread took; the main thread takes them in the same order. When it asks for
// a job that no worker has started, it runs the job itself instead of waiting
// (with no workers at all, every job runs that way); one a worker has, it waits
// for without starting another, which would keep it busy past that job's end.
//
// A job is plain CPU work on data of its own: no GL, no log, no exit. One that
// throws counts as not done and the others go on. Stop (and the destructor) drops
// the jobs not yet started and waits for those running: no thread outlives it.
//
// Add, Take and Stop belong to the thread that owns the object; jobs run on the
// workers or inside Take.
//
// A fork (SDL shows its message boxes from a forked copy of the process) waits
// for the running jobs to end and starts none until it is done: the copy has
// only the forking thread, and a lock a worker held at that instant (the
// allocator's, where it is not made safe for forks) would stay locked in it.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "resources/shared_context_thread.h"
#include "resources/texture_system.h"
#include "shell/audio_library.h"

namespace VantorGL {

class LoadAhead {
 public:
  using Job = std::function<void()>;

  // One worker per core (1 to 4). Workers run at a lower priority than the main
  // thread, so they take only the time it leaves: its own waits (the X server,
  // the GL driver's threads, the sound device) and the other cores.
  static int DefaultWorkers();

  // Threads start with the first job. A failure to start one leaves fewer.
  explicit LoadAhead(int workers = DefaultWorkers(), size_t window = 32);
  ~LoadAhead();
  LoadAhead(const LoadAhead&) = delete;
  LoadAhead& operator=(const LoadAhead&) = delete;

  // The job's number (0, 1, ...). After Stop the job is dropped.
  size_t Add(Job job);
  // Waits for job `index` to end, running it here when nobody has started it.
  // True when it ran to its end; false when it threw, was dropped or never added.
  // Moves the window on to `index`.
  bool Take(size_t index);
  // Drops every job not yet started, waits for the running ones, ends the workers.
  void Stop();

 private:
  enum class State { kWaiting, kRunning, kDone, kFailed, kDropped };

  // Around a fork of the process: every live object holds its workers.
  static void RegisterForkHandlers();
  static void HoldForFork();
  static void ReleaseAfterFork();

  void StartWorkers();
  void WorkerLoop();
  // The next job a thread may start, or npos. Lock held.
  size_t NextStartable() const;
  // Runs job `index` (marked running) with the lock released; the lock is held on return.
  void Run(std::unique_lock<std::mutex>& lock, size_t index);

  const int workerCount_;
  const size_t window_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;
  std::deque<State> states_;
  size_t nextToStart_ = 0;  // every job below it has been started (or dropped)
  size_t taken_ = 0;        // the window starts here
  bool started_ = false;
  bool stopping_ = false;
  bool forkHold_ = false;    // a fork is under way: no job starts
  size_t running_ = 0;       // jobs running on the workers
  std::vector<std::thread> workers_;
};

// AssetsAhead: the pictures and tunes a program is going to load, listed in its
// order, read and decoded ahead on a LoadAhead (cTextureSystem::Prepare,
// audio::PrepareFile) and handed over when the program gets to each. Taking
// matches by kind and path, from where the last take stopped: an entry passed over
// is never handed out, and a path not listed ahead gets nothing, so the caller
// loads it the ordinary way. Owner's thread only, like LoadAhead.
class AssetsAhead {
 public:
  // By default every listed item may be made ahead: each picture is either
  // waiting here or uploaded, so memory never holds much more than the textures
  // themselves. From the object's making to the last listed picture's
  // LoadPicture, Stop or its end, a block freed is kept for the next allocation
  // of its size (BeginSharingFreedBlocks: a picture's becomes the next texture's
  // storage): make it before the program's threads.
  explicit AssetsAhead(int workers = LoadAhead::DefaultWorkers(), size_t window = 256);
  ~AssetsAhead();
  AssetsAhead(const AssetsAhead&) = delete;
  AssetsAhead& operator=(const AssetsAhead&) = delete;

  void AddPicture(const std::string& path);
  void AddTune(const std::string& path);  // for MusicStream::kMixRate
  // Work that keeps its result elsewhere (a cache of its own): nothing to take.
  void AddWork(LoadAhead::Job work) { ahead_.Add(std::move(work)); }

  // The next listed picture or tune at `path`, waited for; nothing when none is
  // listed from here on, or its job failed (or, for a picture, it has been made
  // into a texture: see UploadThrough).
  std::optional<PreparedTexture> TakePicture(const std::string& path);
  // From here on the listed pictures not yet taken go into their textures on a
  // thread of their own with `context` (see SharedContextThread), each as soon
  // as it is decoded, and LoadPicture hands each texture over; without a
  // context, or where it cannot be used, LoadPicture uploads on the calling
  // thread. The thread ends, and the context goes, after the last listed
  // picture's LoadPicture or at Stop; textures made there and never handed
  // over are deleted then. Main thread, its context current.
  void UploadThrough(std::unique_ptr<platform::SharedContext> context);
  // The next listed picture at `path` as a texture: what cTextureSystem::Load
  // with TakePicture's result makes, left bound. False, with nothing loaded,
  // where TakePicture would give nothing: the caller loads the picture the
  // ordinary way.
  bool LoadPicture(const std::string& path, cTextureSystem& texture);
  std::optional<audio::PreparedFile> TakeTune(const std::string& path);

  // Ends the work: what was not taken yet is dropped; the uploads are finished.
  // Later takes get nothing.
  void Stop();

  // How many pictures and tunes the takes have handed over.
  size_t HandedOver() const { return handedOver_; }
  // How many pictures LoadPicture handed over as textures made on the uploads' thread.
  size_t UploadedAside() const { return uploadedAside_; }

 private:
  struct Entry {
    bool picture = false;
    std::string path;
    size_t job = 0;
    PreparedTexture texture;    // written by the job
    audio::PreparedFile tune;   // written by the job
    // A picture's upload on the uploads' thread. `made` and `uploaded` under
    // madeMutex_; the upload owns `texture` from `made` until `uploaded`.
    bool made = false;          // its job has ended, however
    bool uploadQueued = false;  // owner's thread
    bool uploaded = false;
    uint32_t name = 0;          // the texture made there, until handed over; 0: none
  };
  Entry* Take(bool picture, const std::string& path);
  // A picture's Take, and its upload waited for where one was queued.
  Entry* TakeUploaded(const std::string& path);
  bool PicturesLeft() const;  // listed from next_ on
  void EndUploads();          // the thread and context go, unclaimed textures too
  void EndSharingBlocks();    // once
  void Upload(Entry& entry);  // on the uploads' thread

  std::deque<Entry> entries_;  // elements stay where they are while jobs fill them
  size_t next_ = 0;            // the first entry not taken or passed over
  size_t handedOver_ = 0;
  size_t uploadedAside_ = 0;
  std::mutex madeMutex_;
  std::condition_variable madeChanged_;
  bool uploadsStopping_ = false;  // under madeMutex_
  int uploadMaxSize_ = 0;         // the context's maximum texture size
  std::unique_ptr<SharedContextThread> uploads_;
  bool sharingBlocks_ = true;
  LoadAhead ahead_;            // last: its threads end before the entries go
};

}  // namespace VantorGL
