#include "resources/load_ahead.h"

#include <epoxy/gl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>

#include "platform/gl_extensions.h"
#include "shell/memory_pages.h"
#include "shell/music_stream.h"

namespace VantorGL {

namespace {
constexpr size_t kNone = static_cast<size_t>(-1);
constexpr int kWorkerNice = 5;

// The live objects, for the fork handlers. The registry's lock is held from
// before the fork to after it, in the parent and in the child. Made on first
// use and never destroyed: objects with static storage (a program's own) are
// made before it and go after it.
std::mutex& LiveMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}
std::vector<LoadAhead*>& Live() {
  static auto* live = new std::vector<LoadAhead*>;
  return *live;
}
thread_local bool t_inJob = false;  // a job that forks cannot wait for itself
}  // namespace

void LoadAhead::RegisterForkHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    // The copy has no workers: its condition variables still count theirs as
    // waiting, so a notification there would wait for them; only the flag goes.
    pthread_atfork([] { HoldForFork(); }, [] { ReleaseAfterFork(); },
                   [] {
                     for (LoadAhead* ahead : Live()) ahead->forkHold_ = false;
                     LiveMutex().unlock();
                   });
  });
}

void LoadAhead::HoldForFork() {
  LiveMutex().lock();
  if (t_inJob) return;
  for (LoadAhead* ahead : Live()) {
    std::unique_lock lock(ahead->mutex_);
    ahead->forkHold_ = true;
    ahead->changed_.wait(lock, [ahead] { return ahead->running_ == 0; });
  }
}

void LoadAhead::ReleaseAfterFork() {
  for (LoadAhead* ahead : Live()) {
    {
      std::lock_guard lock(ahead->mutex_);
      ahead->forkHold_ = false;
    }
    ahead->changed_.notify_all();
  }
  LiveMutex().unlock();
}

int LoadAhead::DefaultWorkers() {
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  return std::clamp(cores, 1, 4);
}

LoadAhead::LoadAhead(int workers, size_t window)
    : workerCount_(std::max(workers, 0)), window_(std::max<size_t>(window, 1)) {
  RegisterForkHandlers();
  std::lock_guard lock(LiveMutex());
  Live().push_back(this);
}

LoadAhead::~LoadAhead() {
  Stop();
  std::lock_guard lock(LiveMutex());
  Live().erase(std::find(Live().begin(), Live().end(), this));
}

size_t LoadAhead::Add(Job job) {
  std::unique_lock lock(mutex_);
  jobs_.push_back(std::move(job));
  states_.push_back(stopping_ ? State::kDropped : State::kWaiting);
  const size_t index = jobs_.size() - 1;
  const bool start = !stopping_ && !started_;
  started_ = true;
  lock.unlock();
  if (start) StartWorkers();
  changed_.notify_all();
  return index;
}

void LoadAhead::StartWorkers() {
  for (int i = 0; i < workerCount_; ++i) {
    try {
      workers_.emplace_back([this] { WorkerLoop(); });
    } catch (const std::system_error&) {
      break;  // fewer workers; Take runs what nobody else does
    }
  }
}

size_t LoadAhead::NextStartable() const {
  if (forkHold_) return kNone;
  size_t i = nextToStart_;
  while (i < states_.size() && states_[i] != State::kWaiting) ++i;
  return i < states_.size() && i < taken_ + window_ ? i : kNone;
}

void LoadAhead::Run(std::unique_lock<std::mutex>& lock, size_t index) {
  states_[index] = State::kRunning;
  if (index == nextToStart_) ++nextToStart_;
  Job job = std::move(jobs_[index]);
  ++running_;
  lock.unlock();
  bool ok = true;
  t_inJob = true;
  try {
    job();
  } catch (...) {
    // A job that cannot finish (out of memory, say) leaves its asset to the
    // ordinary load on the main thread.
    ok = false;
  }
  job = nullptr;  // whatever the job held goes before anyone is told
  t_inJob = false;
  lock.lock();
  --running_;
  states_[index] = ok ? State::kDone : State::kFailed;
  changed_.notify_all();
}

void LoadAhead::WorkerLoop() {
  // The main thread's work comes first: loading threads take the time it leaves.
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kWorkerNice);
  std::unique_lock lock(mutex_);
  for (;;) {
    size_t index = kNone;
    changed_.wait(lock, [&] { return stopping_ || (index = NextStartable()) != kNone; });
    if (stopping_) return;
    Run(lock, index);
  }
}

bool LoadAhead::Take(size_t index) {
  std::unique_lock lock(mutex_);
  if (index >= states_.size()) return false;
  if (index > taken_) {
    taken_ = index;
    changed_.notify_all();  // the window has moved on
  }
  // Nobody has started it (no worker is free, or the jobs before it were
  // skipped): run it here, as a serial load would, once no fork is under way.
  changed_.wait(lock, [&] { return !forkHold_; });
  if (states_[index] == State::kWaiting) Run(lock, index);
  // A worker has it. A later job taken here meanwhile would hold this thread to
  // its own end, however long after this one's: wait instead.
  changed_.wait(lock, [&] { return states_[index] != State::kRunning; });
  return states_[index] == State::kDone;
}

void LoadAhead::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (size_t i = 0; i < states_.size(); ++i) {
      if (states_[i] == State::kWaiting) {
        states_[i] = State::kDropped;
        jobs_[i] = nullptr;
      }
    }
  }
  changed_.notify_all();
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
}

AssetsAhead::AssetsAhead(int workers, size_t window) : ahead_(workers, window) { BeginSharingFreedBlocks(); }

AssetsAhead::~AssetsAhead() { EndSharingBlocks(); }

void AssetsAhead::EndSharingBlocks() {
  if (!sharingBlocks_) return;
  sharingBlocks_ = false;
  EndSharingFreedBlocks();
}

void AssetsAhead::AddPicture(const std::string& path) {
  Entry& entry = entries_.emplace_back();
  entry.picture = true;
  entry.path = path;
  entry.job = ahead_.Add([this, &entry] {
    // Told however the job ends: an upload may be waiting for it.
    struct Told {
      AssetsAhead& self;
      Entry& entry;
      ~Told() {
        {
          std::lock_guard lock(self.madeMutex_);
          entry.made = true;
        }
        self.madeChanged_.notify_all();
      }
    } told{*this, entry};
    entry.texture = cTextureSystem::Prepare(entry.path);
  });
}

void AssetsAhead::AddTune(const std::string& path) {
  Entry& entry = entries_.emplace_back();
  entry.path = path;
  entry.job = ahead_.Add([&entry] { entry.tune = audio::PrepareFile(entry.path, MusicStream::kMixRate); });
}

AssetsAhead::Entry* AssetsAhead::Take(bool picture, const std::string& path) {
  for (size_t i = next_; i < entries_.size(); ++i) {
    Entry& entry = entries_[i];
    if (entry.picture != picture || entry.path != path) continue;
    next_ = i + 1;
    if (!ahead_.Take(entry.job)) return nullptr;
    ++handedOver_;
    return &entry;
  }
  return nullptr;
}

std::optional<PreparedTexture> AssetsAhead::TakePicture(const std::string& path) {
  Entry* entry = TakeUploaded(path);
  // One already made into a texture is handed over by LoadPicture alone.
  if (!entry || entry->name != 0) return std::nullopt;
  return std::move(entry->texture);
}

AssetsAhead::Entry* AssetsAhead::TakeUploaded(const std::string& path) {
  Entry* entry = Take(true, path);
  if (entry && entry->uploadQueued) {
    std::unique_lock lock(madeMutex_);
    madeChanged_.wait(lock, [&] { return entry->uploaded; });
  }
  return entry;
}

void AssetsAhead::UploadThrough(std::unique_ptr<platform::SharedContext> context) {
  EndUploads();
  if (!context || !PicturesLeft()) return;
  auto uploads = std::make_unique<SharedContextThread>(std::move(context));
  if (!uploads->Active()) return;
  uploads_ = std::move(uploads);
  uploadMaxSize_ = platform::MaxTextureSize();
  std::unique_lock lock(madeMutex_);
  uploadsStopping_ = false;
  for (size_t i = next_; i < entries_.size(); ++i) {
    Entry& entry = entries_[i];
    if (!entry.picture) continue;
    entry.uploadQueued = true;
    entry.uploaded = false;
    uploads_->Queue([this, &entry] { Upload(entry); });
  }
}

void AssetsAhead::Upload(Entry& entry) {
  {
    std::unique_lock lock(madeMutex_);
    madeChanged_.wait(lock, [&] { return entry.made || uploadsStopping_; });
    // Once the uploads end, a picture nobody has taken is not worth a texture.
    if (uploadsStopping_) {
      entry.uploaded = true;
      madeChanged_.notify_all();
      return;
    }
  }
  GLuint name = 0;
  std::optional<TextureImage>& image = entry.texture.image;
  // A picture prepared for a larger maximum than this context's is prepared again
  // by LoadPicture, on the main thread.
  if (image && entry.texture.largestSide <= uploadMaxSize_) glGenTextures(1, &name);
  if (name != 0) {
    glBindTexture(GL_TEXTURE_2D, name);
    cTextureSystem::FillBound(*image, entry.texture.pngPath);
    glBindTexture(GL_TEXTURE_2D, 0);
    // Whole for the main context once it binds the texture.
    glFinish();
    cTextureSystem::FreePixels(image);
  }
  {
    std::lock_guard lock(madeMutex_);
    entry.name = name;
    entry.uploaded = true;
  }
  madeChanged_.notify_all();
}

bool AssetsAhead::LoadPicture(const std::string& path, cTextureSystem& texture) {
  Entry* entry = TakeUploaded(path);
  if (entry && entry->name != 0) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, entry->name);
    texture.texture = entry->name;
    entry->name = 0;
    ++uploadedAside_;
  } else if (entry) {
    texture.Load(path, std::move(entry->texture));
  }
  // A context costs the driver some 10 MB: it goes once nothing is left to
  // upload, and the blocks freed meanwhile go back to the system.
  if (!PicturesLeft()) {
    EndUploads();
    EndSharingBlocks();
  }
  return entry != nullptr;
}

bool AssetsAhead::PicturesLeft() const {
  for (size_t i = next_; i < entries_.size(); ++i)
    if (entries_[i].picture) return true;
  return false;
}

void AssetsAhead::EndUploads() {
  if (!uploads_) return;
  {
    std::lock_guard lock(madeMutex_);
    uploadsStopping_ = true;
  }
  madeChanged_.notify_all();
  uploads_.reset();
  for (Entry& entry : entries_) {
    if (entry.name != 0) {
      const GLuint name = entry.name;
      glDeleteTextures(1, &name);
    }
    entry.name = 0;
    entry.uploadQueued = false;
  }
}

void AssetsAhead::Stop() {
  ahead_.Stop();
  EndUploads();
  EndSharingBlocks();
}

std::optional<audio::PreparedFile> AssetsAhead::TakeTune(const std::string& path) {
  Entry* entry = Take(false, path);
  if (!entry) return std::nullopt;
  return std::move(entry->tune);
}

}  // namespace VantorGL
