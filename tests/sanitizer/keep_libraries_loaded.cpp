// Linked into every program of a sanitizer build (VANTOR_SANITIZE) and nowhere
// else: shared libraries are never unloaded. Mesa unloads its driver, and glvnd
// its vendor library, when the last display closes; LeakSanitizer, which looks
// at exit, could then neither see what they still hold (everything the driver
// allocated would count as leaked) nor name their frames to suppress them.
//
// The definition interposes the C library's for the whole process. It is not
// declared through <dlfcn.h>, whose declaration carries a noexcept clause
// (`__THROW`) that a definition would have to repeat.
extern "C" int dlclose(void*) { return 0; }
