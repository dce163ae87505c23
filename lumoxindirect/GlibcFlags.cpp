// The C++ runtime's headers read glibc's __libc_single_threaded, where glibc
// has it (2.32 on), to skip atomic reference counts in a process without
// threads; with the old std::string ABI every string copy reads it. Left to
// glibc, it would make the plug-in need GLIBC_2.32, which hosts built for
// that ABI predate. The module keeps its own copy, hidden by the version
// script, that says "maybe threaded": the atomic path is right in any
// process, and only a little slower in one without threads.
#if defined(__linux__) && defined(__has_include)
#if __has_include(<sys/single_threaded.h>)
extern "C" {
__attribute__((visibility("hidden"))) char __libc_single_threaded = 0;
}
#endif
#endif
