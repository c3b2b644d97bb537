// cRenderTextureSystem on a real context: the objects Create makes, drawing into a
// target and reading it back, End and CopyDepth against the window's framebuffer.
#include <epoxy/gl.h>

#include <string>
#include <vector>

#include "resources/render_texture_system.h"
#include "shell/debug_system.h"
#include "tests/support/gl_fixture.h"
#include "tests/support/log_lines.h"

using VantorGL::cRenderTextureSystem;

namespace {

GLint Get(GLenum what) {
  GLint v = 0;
  glGetIntegerv(what, &v);
  return v;
}

GLint TexParam(GLuint name, GLenum param) {
  GLint v = 0;
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexParameteriv(GL_TEXTURE_2D, param, &v);
  return v;
}

class RenderTargetTest : public vantor_test::GlTest {
 protected:
  void TearDown() override {
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
};

}  // namespace

TEST_F(RenderTargetTest, CreateMakesAFloatColourTextureADepthBufferAndADepthTexture) {
  cRenderTextureSystem target;
  ASSERT_TRUE(target.Create(64, 32, 1));
  EXPECT_EQ(target.width, 64);
  EXPECT_EQ(target.height, 32);
  EXPECT_NE(target.colorTexture, 0u);
  EXPECT_NE(target.depthTexture, 0u);
  EXPECT_NE(target.colorTexture, target.depthTexture);
  EXPECT_TRUE(glIsFramebufferEXT(target.frameBuffer));
  EXPECT_TRUE(glIsRenderbufferEXT(target.depthBuffer));
  EXPECT_EQ(Get(GL_FRAMEBUFFER_BINDING_EXT), 0);
  EXPECT_EQ(Get(GL_RENDERBUFFER_BINDING_EXT), 0);
  EXPECT_EQ(Get(GL_TEXTURE_BINDING_2D), static_cast<GLint>(target.colorTexture));

  GLint format = 0, w = 0, h = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  EXPECT_EQ(format, GL_RGBA16F_ARB);
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 32);
  EXPECT_EQ(TexParam(target.colorTexture, GL_GENERATE_MIPMAP), GL_TRUE);

  glBindTexture(GL_TEXTURE_2D, target.depthTexture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  EXPECT_EQ(format, GL_DEPTH_COMPONENT);
  EXPECT_EQ(TexParam(target.depthTexture, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
  EXPECT_EQ(TexParam(target.depthTexture, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
  EXPECT_EQ(TexParam(target.depthTexture, GL_TEXTURE_WRAP_S), GL_CLAMP);
  EXPECT_EQ(TexParam(target.depthTexture, GL_TEXTURE_WRAP_T), GL_CLAMP);

  target.Begin();
  EXPECT_EQ(Get(GL_FRAMEBUFFER_BINDING_EXT), static_cast<GLint>(target.frameBuffer));
  EXPECT_EQ(Get(GL_RENDERBUFFER_BINDING_EXT), static_cast<GLint>(target.depthBuffer));
  EXPECT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_EXT));
  target.End();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A framebuffer the driver cannot render to (zero-sized attachments) is a
// failure, told in one log line, and leaves the window's framebuffer bound.
TEST_F(RenderTargetTest, AnIncompleteFramebufferFailsWithOneLogLine) {
  const std::string log = ::testing::TempDir() + "render_target_debug.log";
  VantorGL::cDebugSystem::Instance().Open(log.c_str());
  cRenderTextureSystem empty;
  EXPECT_FALSE(empty.Create(0, 0, 1));
  EXPECT_EQ(Get(GL_FRAMEBUFFER_BINDING_EXT), 0);
  cRenderTextureSystem good;
  EXPECT_TRUE(good.Create(16, 16, 1));
  const std::vector<std::string> lines = vantor_test::LogLinesAfterBanner(log);
  VantorGL::cDebugSystem::Instance().file.close();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("(cRenderTextureSystem) render target 0x0 is incomplete: framebuffer status 0x8C", 0), 0u)
      << lines[0];
}

TEST_F(RenderTargetTest, FilterZeroNearestOneLinearOthersKeepTheDefaults) {
  const struct {
    int filter;
    GLint min, mag;
  } cases[] = {{0, GL_NEAREST, GL_NEAREST}, {1, GL_LINEAR, GL_LINEAR}, {2, GL_NEAREST_MIPMAP_LINEAR, GL_LINEAR},
               {-1, GL_NEAREST_MIPMAP_LINEAR, GL_LINEAR}};
  for (const auto& c : cases) {
    cRenderTextureSystem target;
    target.Create(16, 16, c.filter);
    EXPECT_EQ(TexParam(target.colorTexture, GL_TEXTURE_MIN_FILTER), c.min) << c.filter;
    EXPECT_EQ(TexParam(target.colorTexture, GL_TEXTURE_MAG_FILTER), c.mag) << c.filter;
    EXPECT_EQ(TexParam(target.colorTexture, GL_GENERATE_MIPMAP), GL_TRUE) << c.filter;
  }
}

TEST_F(RenderTargetTest, DrawnIntoAndReadBackAsFloats) {
  cRenderTextureSystem target;
  target.Create(32, 16, 0);
  target.Begin();
  // Only the viewport is pushed, as the scenes do: the colour-buffer state holds
  // the target's draw buffer, which the window's framebuffer would refuse on pop.
  glPushAttrib(GL_VIEWPORT_BIT);
  glViewport(0, 0, target.width, target.height);
  glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glDisable(GL_TEXTURE_2D);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
  glBegin(GL_QUADS);  // the right half of the target
  glVertex2f(0, -1);
  glVertex2f(1, -1);
  glVertex2f(1, 1);
  glVertex2f(0, 1);
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glColor4f(1, 1, 1, 1);
  target.End();
  glPopAttrib();
  glClearColor(0, 0, 0, 0);

  target.UseColorTexture();
  EXPECT_EQ(Get(GL_TEXTURE_BINDING_2D), static_cast<GLint>(target.colorTexture));
  std::vector<float> pixels(32 * 16 * 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, pixels.data());
  auto px = [&](int x, int y) { return &pixels[(y * 32 + x) * 4]; };
  EXPECT_FLOAT_EQ(px(3, 5)[0], 0.25f);
  EXPECT_FLOAT_EQ(px(3, 5)[1], 0.5f);
  EXPECT_FLOAT_EQ(px(3, 5)[2], 0.75f);
  EXPECT_FLOAT_EQ(px(28, 5)[0], 1.0f);
  EXPECT_FLOAT_EQ(px(28, 5)[1], 0.0f);
  target.Unbind();
  EXPECT_EQ(Get(GL_TEXTURE_BINDING_2D), 0);
}

TEST_F(RenderTargetTest, EndWithoutBeginBindsTheWindowFramebuffer) {
  cRenderTextureSystem a, b;
  a.Create(8, 8, 1);
  b.Create(8, 8, 1);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, a.frameBuffer);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, a.depthBuffer);
  b.End();
  EXPECT_EQ(Get(GL_FRAMEBUFFER_BINDING_EXT), 0);
  EXPECT_EQ(Get(GL_RENDERBUFFER_BINDING_EXT), 0);
  cRenderTextureSystem never;
  never.End();
  EXPECT_EQ(Get(GL_FRAMEBUFFER_BINDING_EXT), 0);
}

TEST_F(RenderTargetTest, CopyDepthTakesTheCurrentReadFramebuffersDepth) {
  cRenderTextureSystem target;
  target.Create(16, 8, 1);
  auto depthTexel = [&]() {
    std::vector<float> depth(16 * 8);
    target.UseDepthTexture();
    glGetTexImage(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    return depth[3 * 16 + 5];
  };

  while (glGetError() != GL_NO_ERROR) {}
  target.Begin();
  glClearDepth(0.25);
  glClear(GL_DEPTH_BUFFER_BIT);
  target.CopyDepth();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "copy within the target";
  EXPECT_EQ(Get(GL_TEXTURE_BINDING_2D), static_cast<GLint>(target.depthTexture));
  target.End();
  EXPECT_NEAR(depthTexel(), 0.25f, 1.0f / 255);

  // After End it is the window's depth buffer.
  glClearDepth(0.75);
  glClear(GL_DEPTH_BUFFER_BIT);
  glClearDepth(1.0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "before the copy from the window";
  target.CopyDepth();
  EXPECT_NEAR(depthTexel(), 0.75f, 1.0f / 255);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
