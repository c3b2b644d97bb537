#include "resources/render_texture_system.h"

#include <epoxy/gl.h>

#include <cstdio>
#include <string>

#include "platform/gl_extensions.h"
#include "platform/message_box.h"
#include "shell/debug_system.h"
#include "shell/exit.h"

namespace VantorGL {

bool cRenderTextureSystem::Create(int32_t newWidth, int32_t newHeight, int32_t filter) {
  return Create(newWidth, newHeight, filter, Colour::kHalfFloat);
}

bool cRenderTextureSystem::Create(int32_t newWidth, int32_t newHeight, int32_t filter, Colour colour) {
  width = newWidth;
  height = newHeight;
  // Asked before any framebuffer entry point: libepoxy aborts the process when a
  // call has no provider.
  if (!platform::HasGlExtension("GL_EXT_framebuffer_object")) {
    platform::ShowMessageBox("GL_EXT_framebuffer_object NOT supported . Upgrade your gfx motha fucka",
                             "Error", platform::MB_OK);
    ExitProgram(99, "GL_EXT_framebuffer_object is not supported");
  }

  glGenFramebuffersEXT(1, &frameBuffer);
  glGenRenderbuffersEXT(1, &depthBuffer);

  glGenTextures(1, &depthTexture);
  glBindTexture(GL_TEXTURE_2D, depthTexture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, width, height, 0, GL_DEPTH_COMPONENT,
               GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);

  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, frameBuffer);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depthBuffer);

  glGenTextures(1, &colorTexture);
  glBindTexture(GL_TEXTURE_2D, colorTexture);
  if (filter == 0) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  } else if (filter == 1) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  }
  // Filters 0 and 1 sample level 0 alone: there the mipmap flag goes on after the
  // level is allocated, so the allocation does not make a chain of levels from
  // undefined contents that nothing samples (on a software renderer most of a
  // target's creation; the first one also compiles the generator). The flag ends
  // up set either way.
  const bool levelZeroOnly = filter == 0 || filter == 1;
  if (!levelZeroOnly) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
  const GLint format = colour == Colour::kByte ? GL_RGBA8 : GL_RGBA16F_ARB;
  glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  if (levelZeroOnly) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);

  glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT, width, height);
  glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depthBuffer);
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, colorTexture, 0);
  const GLenum status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);

  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  if (status != GL_FRAMEBUFFER_COMPLETE_EXT) {
    // The objects stay; drawing into the target simply reaches nothing.
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(status));
    cDebugSystem::Instance().Log("cRenderTextureSystem", "render target " + std::to_string(width) + "x" +
                                                             std::to_string(height) +
                                                             " is incomplete: framebuffer status " + code);
    return false;
  }
  return true;
}

void cRenderTextureSystem::Begin() {
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, frameBuffer);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depthBuffer);
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, colorTexture, 0);
}

void cRenderTextureSystem::End() {
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

void cRenderTextureSystem::Unbind() { glBindTexture(GL_TEXTURE_2D, 0); }

void cRenderTextureSystem::UseColorTexture() { glBindTexture(GL_TEXTURE_2D, colorTexture); }

void cRenderTextureSystem::UseDepthTexture() { glBindTexture(GL_TEXTURE_2D, depthTexture); }

void cRenderTextureSystem::CopyDepth() {
  glBindTexture(GL_TEXTURE_2D, depthTexture);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width, height);
}

bool cRenderTextureGroup::Create(const cRenderTextureSystem& first, const cRenderTextureSystem& second) {
  const cRenderTextureSystem* targets[2] = {&first, &second};
  return Make(targets, 2);
}

bool cRenderTextureGroup::Create(const cRenderTextureSystem& first, const cRenderTextureSystem& second,
                                 const cRenderTextureSystem& third) {
  const cRenderTextureSystem* targets[3] = {&first, &second, &third};
  return Make(targets, 3);
}

bool cRenderTextureGroup::Make(const cRenderTextureSystem* const* targets, int count) {
  const cRenderTextureSystem& first = *targets[0];
  for (int i = 0; i < count; ++i)
    if (targets[i]->frameBuffer == 0 || targets[i]->width != first.width || targets[i]->height != first.height)
      return false;
  if (!platform::HasGlExtension("GL_ARB_draw_buffers")) return false;
  GLint drawBuffers = 0;
  glGetIntegerv(GL_MAX_DRAW_BUFFERS, &drawBuffers);
  if (drawBuffers < count) return false;

  GLuint fb = 0;
  glGenFramebuffersEXT(1, &fb);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fb);
  GLenum buffers[3] = {};
  for (int i = 0; i < count; ++i) {
    buffers[i] = GL_COLOR_ATTACHMENT0_EXT + static_cast<GLenum>(i);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, buffers[i], GL_TEXTURE_2D, targets[i]->colorTexture, 0);
  }
  glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, first.depthBuffer);
  glDrawBuffers(count, buffers);
  const GLenum status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  if (status != GL_FRAMEBUFFER_COMPLETE_EXT) {
    glDeleteFramebuffersEXT(1, &fb);
    return false;
  }
  frameBuffer = fb;
  width = first.width;
  height = first.height;
  return true;
}

void cRenderTextureGroup::Begin() { glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, frameBuffer); }

void cRenderTextureGroup::End() { glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0); }

}  // namespace VantorGL
