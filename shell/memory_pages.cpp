#include "shell/memory_pages.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

namespace VantorGL {

namespace {
// The whole blocks of `unit` bytes inside [data, data + bytes), or an empty range.
struct Inside {
  uintptr_t begin, end;
};
Inside WholeUnits(const void* data, size_t bytes, uintptr_t unit) {
  const uintptr_t first = reinterpret_cast<uintptr_t>(data);
  const uintptr_t begin = (first + unit - 1) & ~(unit - 1);
  const uintptr_t end = (first + bytes) & ~(unit - 1);
  return {begin, end > begin ? end : begin};
}
}  // namespace

void AdviseHugePages(const void* data, size_t bytes) {
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  if (bytes < 2 * kHugePage) return;
  const Inside pages = WholeUnits(data, bytes, kHugePage);
  if (pages.end > pages.begin) madvise(reinterpret_cast<void*>(pages.begin), pages.end - pages.begin, MADV_HUGEPAGE);
}

void ReleasePages(void* data, size_t bytes) {
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const Inside pages = WholeUnits(data, bytes, page);
  if (pages.end > pages.begin) madvise(reinterpret_cast<void*>(pages.begin), pages.end - pages.begin, MADV_DONTNEED);
}

namespace {
std::atomic<bool> g_sharing{false};
}  // namespace

bool SharingFreedBlocks() { return g_sharing.load(std::memory_order_relaxed); }

void BeginSharingFreedBlocks() {
#if defined(__GLIBC__)
  g_sharing = true;
  mallopt(M_ARENA_MAX, 1);
  // Fixed, as glibc's own threshold would grow after a 16 MB block had been
  // freed: a frame's buffers (a read-back picture, say), freed and made again
  // every frame, are then reused from the pool instead of mapped afresh.
  mallopt(M_MMAP_THRESHOLD, 16 << 20);
  mallopt(M_TRIM_THRESHOLD, 32 << 20);
#endif
}

void EndSharingFreedBlocks() {
#if defined(__GLIBC__)
  g_sharing = false;
  malloc_trim(0);
#endif
}

}  // namespace VantorGL
