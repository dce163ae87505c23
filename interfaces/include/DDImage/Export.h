// Symbol visibility of the host SDK library.
#pragma once

#if defined(_WIN32)
#  if defined(DDIMAGE_BUILDING)
#    define DDIMAGE_API __declspec(dllexport)
#  else
#    define DDIMAGE_API __declspec(dllimport)
#  endif
#else
#  define DDIMAGE_API __attribute__((visibility("default")))
#endif
