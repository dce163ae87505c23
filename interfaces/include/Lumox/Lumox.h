// The renderer library: set-up calls and a RenderMan-style scene interface.
#pragma once

#if defined(_WIN32)
#  if defined(LUMOX_BUILDING)
#    define LUMOX_API __declspec(dllexport)
#  else
#    define LUMOX_API __declspec(dllimport)
#  endif
#else
#  define LUMOX_API __attribute__((visibility("default")))
#endif

extern "C" {

using LxToken = const char*;
using LxPointer = const void*;
using LxLightHandle = void*;

// Tells the library the path of its own file (valid only during the call).
LUMOX_API void Lumox_initPath(const char* libraryPath);
// Initialises the RenderMan binding; true on success.
LUMOX_API bool Lumox_initLumoxRenderMan();
// Home directory of the underlying renderer; owned by the library, may be null.
LUMOX_API const char* Lumox_homeDir();

LUMOX_API void LxTransformBegin();
// tokens[k] is "TYPE NAME"; values[k] points to the value (for "string", to a
// cell holding the text pointer). Both are read only during the call.
LUMOX_API LxLightHandle LxLightSourceV(const char* shader, int count, const LxToken tokens[],
                                       const LxPointer values[]);
LUMOX_API LxLightHandle LxShader(const char* shader, const char* handle, int count,
                                 const LxToken tokens[], const LxPointer values[]);
LUMOX_API void LxTransformEnd();

}  // extern "C"
