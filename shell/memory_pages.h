#pragma once
// Hints to the kernel about large buffers' pages. Neither changes a byte the
// program sees; both do nothing where they do not apply. Any thread.
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

}  // namespace VantorGL
