#pragma once
// SharedContextThread: a thread of its own with a second GL context current, one
// that shares the main context's objects (see platform::SharedContext). GL work
// queued there runs in order beside the main thread: on a software renderer,
// putting pictures into textures is mostly the driver's first touch of their
// memory, which the main thread then need not wait for.
//
// A texture made there is safe to bind on the main thread once the work that
// made it has ended with glFinish: a context sees another's changes to an object
// it binds after they are finished.
//
// Where the context cannot be made current on the thread, the object is
// inactive and queues nothing. The owner's thread makes, queues and destroys;
// the context goes with the object, which must go before its window.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/window_system.h"

namespace VantorGL {

class SharedContextThread {
 public:
  using Work = std::function<void()>;

  // Starts the thread and waits until it has the context current, or has not.
  explicit SharedContextThread(std::unique_ptr<platform::SharedContext> context);
  // Runs what is queued to its end; then the thread ends and the context goes.
  ~SharedContextThread();
  SharedContextThread(const SharedContextThread&) = delete;
  SharedContextThread& operator=(const SharedContextThread&) = delete;

  bool Active() const { return active_; }
  // Runs `work` on the thread, after what was queued before. Nothing where inactive.
  void Queue(Work work);

 private:
  void Run();

  std::unique_ptr<platform::SharedContext> context_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Work> queue_;
  bool started_ = false;  // the thread has tried to make the context current
  bool active_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace VantorGL
