// The shared test context is a legacy context of at least OpenGL 2.1 on Mesa.
#include <epoxy/gl.h>

#include "tests/support/gl_fixture.h"

using vantor_test::GlTest;

TEST_F(GlTest, LegacyContextOfAtLeast21) {
  EXPECT_GE(epoxy_gl_version(), 21);
  GLint profile = 0;
  if (epoxy_gl_version() >= 32) {
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
    EXPECT_NE(profile & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT, 0);
  }
}
