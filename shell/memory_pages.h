#pragma once
// Large buffers' pages: hints to the kernel and the allocator. None changes a
// byte the program sees; each does nothing where it does not apply. Any thread.
#include <cstddef>

namespace VantorGL {

// Asks for the whole 2 MB pages inside [data, data + bytes) to be backed by huge
// pages, for a buffer not yet written: it then faults in 2 MB at a time rather
// than 4 kB. Buffers under 4 MB, or transparent huge pages off: nothing.
void AdviseHugePages(const void* data, size_t bytes);

// Gives the whole pages inside [data, data + bytes) back to the system at once,
// for a buffer whose contents are no longer needed and which is about to be
// freed: a large block freed on another thread than the one that made it can
// otherwise stay with the process. Reading it afterwards gives zeros.
void ReleasePages(void* data, size_t bytes);

// Blocks freed while loading, their pages in place, for the next allocation of
// their size on any thread: every thread allocates from the one pool from here
// on (for the rest of the process), and blocks under 16 MB come from it instead
// of a mapping of their own, so a picture's block freed after its upload can
// become the driver's storage for the next texture without new pages being
// faulted in and cleared. Call before the loading threads start. The end gives
// the pool's free pages back to the system; blocks under 16 MB stay the pool's
// (as glibc's own threshold grows once such a block is freed). With another C
// library than glibc, neither does anything.
void BeginSharingFreedBlocks();
void EndSharingFreedBlocks();
// Between the two: a large block about to be freed keeps its pages.
bool SharingFreedBlocks();

}  // namespace VantorGL
