#pragma once
// Base fixture for tests that need a current GL context on Mesa: one private
// Xvfb and one hidden window with a legacy context per test process, made on
// first use. Tests must leave GL state as they found it or reset what they use.
#include <gtest/gtest.h>

#include <memory>

#include "platform/window_system.h"

namespace vantor_test {

// True once the shared context is current. A missing context fails the test.
bool EnsureGlContext();

// A second context sharing that one's objects, for another thread; null where
// none can be made.
std::unique_ptr<VantorGL::platform::SharedContext> MakeSharedGlContext();

class GlTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(EnsureGlContext()) << "no GL context under Xvfb"; }
};

}  // namespace vantor_test
