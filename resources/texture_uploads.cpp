#include "resources/texture_uploads.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "platform/gl_extensions.h"
#include "shell/memory_pages.h"

namespace VantorGL {

TextureUploads::TextureUploads(std::unique_ptr<platform::SharedContext> context) : context_(std::move(context)) {
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

TextureUploads::~TextureUploads() {
  if (!thread_.joinable()) return;
  Finish();
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
  context_.reset();
}

void TextureUploads::Run() {
  const bool current = context_->MakeCurrent();
  {
    std::lock_guard lock(mutex_);
    active_ = current;
    started_ = true;
  }
  changed_.notify_all();
  if (!current) return;
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) break;
    Upload upload = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    glBindTexture(GL_TEXTURE_2D, upload.name);
    cTextureSystem::FillBound(upload.image, upload.pngPath);
    // The driver has its copy; glFinish makes it whole for the other context.
    glBindTexture(GL_TEXTURE_2D, 0);
    glFinish();
    // Freed on another thread than the loading one that made it: its pages go
    // back to the system at once (see cTextureSystem::Load).
    std::vector<uint8_t>& pixels = upload.image.pixels;
    ReleasePages(pixels.data(), pixels.size());
    pixels = {};
    lock.lock();
    ++done_;
    changed_.notify_all();
  }
  lock.unlock();
  context_->Release();
}

bool TextureUploads::Load(cTextureSystem& texture, const std::string& name, PreparedTexture&& prepared) {
  if (!active_ || (prepared.image && prepared.largestSide > platform::MaxTextureSize()))
    return texture.Load(name, std::move(prepared));
  glEnable(GL_TEXTURE_2D);
  if (!prepared.image) return false;
  GLuint id = 0;
  glGenTextures(1, &id);
  if (id == 0) return false;
  glBindTexture(GL_TEXTURE_2D, id);
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(Upload{id, std::move(*prepared.image), prepared.pngPath});
    ++queued_;
    toBindAgain_ = true;
  }
  changed_.notify_all();
  texture.texture = id;
  return true;
}

size_t TextureUploads::Done() {
  std::lock_guard lock(mutex_);
  return done_;
}

void TextureUploads::Finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return done_ == queued_; });
  if (!toBindAgain_) return;
  toBindAgain_ = false;
  lock.unlock();
  // Whatever each unit has bound is bound again, the active unit kept.
  GLint active = GL_TEXTURE0, units = 1;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &units);
  for (GLint unit = 0; unit < std::min<GLint>(units, 32); ++unit) {
    glActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + unit));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    if (bound == 0) continue;
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
  }
  glActiveTexture(static_cast<GLenum>(active));
}

}  // namespace VantorGL
