#include "resources/shared_context_thread.h"

#include <system_error>
#include <utility>

namespace VantorGL {

SharedContextThread::SharedContextThread(std::unique_ptr<platform::SharedContext> context)
    : context_(std::move(context)) {
  if (!context_) return;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    context_.reset();
    return;
  }
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return started_; });
}

SharedContextThread::~SharedContextThread() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
  context_.reset();
}

void SharedContextThread::Queue(Work work) {
  if (!active_) return;
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(work));
  }
  changed_.notify_all();
}

void SharedContextThread::Run() {
  const bool current = context_->MakeCurrent();
  {
    std::lock_guard lock(mutex_);
    active_ = current;
    started_ = true;
  }
  changed_.notify_all();
  if (!current) {
    context_->Release();
    return;
  }
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) break;
    Work work = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    work();
    work = nullptr;
    lock.lock();
  }
  lock.unlock();
  context_->Release();
}

}  // namespace VantorGL
