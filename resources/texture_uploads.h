#pragma once
// TextureUploads: pictures put into their textures on a thread of its own,
// through a second context that shares the main one's objects, while the main
// thread goes on loading. On a software renderer an upload is mostly the
// driver's first touch of the texture's memory; here the main thread pays only
// for the texture's name.
//
// Load gives the texture its name at once, bound as cTextureSystem::Load leaves
// it, and queues the pixels. Finish waits until every queued upload is done in
// the driver, then binds the main context's textures again: a context is sure
// to see another's changes to an object only once it binds the object again.
// Nothing may draw with a queued texture before Finish.
//
// Without a context, or where it cannot be made current on the thread, every
// Load is cTextureSystem::Load on the calling thread. The owner's thread (the
// main one, its context current) calls everything here; the context goes with
// the object, which must go before its window.
#include <epoxy/gl.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/window_system.h"
#include "resources/texture_system.h"

namespace VantorGL {

class TextureUploads {
 public:
  // Starts the thread and waits until it has the context current (or not).
  explicit TextureUploads(std::unique_ptr<platform::SharedContext> context);
  // Finishes the uploads; the thread ends, the context goes.
  ~TextureUploads();
  TextureUploads(const TextureUploads&) = delete;
  TextureUploads& operator=(const TextureUploads&) = delete;

  // Whether uploads go to the thread.
  bool Active() const { return active_; }
  // cTextureSystem::Load(name, prepared) with the upload left to the thread.
  bool Load(cTextureSystem& texture, const std::string& name, PreparedTexture&& prepared);
  // Waits for every upload queued so far; see above.
  void Finish();
  // How many uploads the thread has done.
  size_t Done();

 private:
  struct Upload {
    GLuint name = 0;
    TextureImage image;
    bool pngPath = false;
  };
  void Run();

  std::unique_ptr<platform::SharedContext> context_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Upload> queue_;
  size_t queued_ = 0;
  size_t done_ = 0;        // uploads finished in the driver
  bool started_ = false;   // the thread has tried to make the context current
  bool active_ = false;
  bool stopping_ = false;
  bool toBindAgain_ = false;  // uploads since the last Finish
  std::thread thread_;
};

}  // namespace VantorGL
