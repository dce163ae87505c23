// Lumox_initLumoxRenderMan as a renderer library not written in C++ defines
// it: it answers a byte, and any byte but 0 means success. This file stays
// clear of the header's bool declaration so that it can answer a byte a bool
// cannot hold; the platforms' C calling conventions return both alike, in
// the low byte of the result register.
#include "InitAnswer.h"

#if defined(_WIN32)
#  define LUMOX_BYTE_EXPORT __declspec(dllexport)
#else
#  define LUMOX_BYTE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" LUMOX_BYTE_EXPORT unsigned char Lumox_initLumoxRenderMan() {
  return standin::lumox::initialiseRenderMan();
}
