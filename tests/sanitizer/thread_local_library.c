/* A library with a block of thread-local data, loaded at run time as Mesa's
   driver is: each thread's block is allocated on its first use. For
   tests/unit/sanitizer_options_test.cpp. */
__thread char block[40];
char* TouchBlock(void) {
  block[0] = 1;
  return block;
}
