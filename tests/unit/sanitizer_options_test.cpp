// The sanitizer builds' own options (tests/sanitizer/sanitizer_options.cpp).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// A loaded library's thread-local block that starts 16 bytes into a page, as
// the allocator sometimes places one: the leak check still runs through.
TEST(SanitizerOptionsDeathTest, LeakCheckSurvivesAThreadLocalBlockSixteenBytesIntoAPage) {
#if !defined(__SANITIZE_ADDRESS__) || !defined(VANTOR_THREAD_LOCAL_LIBRARY)
  GTEST_SKIP() << "a sanitizer build's test";
#else
  EXPECT_EXIT(
      {
        void* library = dlopen(VANTOR_THREAD_LOCAL_LIBRARY, RTLD_NOW);
        if (!library) std::_Exit(2);
        auto touch = reinterpret_cast<char* (*)()>(dlsym(library, "TouchBlock"));
        if (!touch) std::_Exit(2);
        // The block is the next chunk of its size after the one ending 48 bytes
        // short of a page (the allocator hands out chunks of one size in order).
        std::vector<void*> taken;
        taken.reserve(100000);
        while (taken.size() < 100000) {
          taken.push_back(std::malloc(40));
          if ((reinterpret_cast<uintptr_t>(taken.back()) & 4095) == 4096 - 48) break;
        }
        const bool placed = (reinterpret_cast<uintptr_t>(touch()) & 4095) == 16;
        for (void* p : taken) std::free(p);
        if (!placed) std::_Exit(3);
        __lsan_do_recoverable_leak_check();
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "");
#endif
}

}  // namespace
