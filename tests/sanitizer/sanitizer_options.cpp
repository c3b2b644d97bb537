// Linked into every program of a sanitizer build (VANTOR_SANITIZE) and nowhere
// else: options the sanitizers take before any from the environment.
//
// intercept_tls_get_addr=0: GCC 12's runtime, on a thread's first use of a
// loaded library's thread-local block (Mesa's, from llvmpipe's, the sound's and
// the loaders' threads), takes a block that happens to start 16 bytes into a
// page for the header glibc 2.19 to 2.24 put before it, and reads an address and
// length from the allocator's own bytes there. The leak check at exit then scans
// that made-up range and dies ("Tracer caught signal 11"), in whichever program
// the allocator placed such a block: seldom, and more often under load, when
// threads take blocks in another order. Today's glibc allocates those blocks
// with malloc and points to them from the thread's own descriptor, so the leak
// check still finds what they hold without the interception.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
