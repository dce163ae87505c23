// What the stand-in renderer library saw, and switches that make it fail.
#pragma once

#include <Lumox/Lumox.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace standin {
namespace lumox {

// One entry of a declaration's parameter list, copied during the call.
struct Parameter {
  std::optional<std::string> declaration;  // nullopt: the token was null
  std::string type;                        // first word of the declaration
  std::string name;                        // the rest, after one blank
  const void* address = nullptr;           // the value pointer as given
  bool decoded = false;                    // type known and value readable
  std::vector<std::int32_t> ints;          // "int"
  std::vector<float> floats;               // "float" (one), "color" (three)
  std::optional<std::string> text;         // "string": nullopt when the cell held null
};

// One of the renderer's variables as the library read it, one way.
struct EnvironmentReading {
  std::string variable;              // "DELIGHT" or "DELIGHT_CONF"
  std::string through;               // "getenv"; on Windows also "GetEnvironmentVariableA"
  std::optional<std::string> value;  // nullopt: not set
};

struct Call {
  std::string function;     // e.g. "LxLightSourceV"
  std::optional<std::string> text;  // initPath's argument, homeDir's result, the shader name
  std::optional<std::string> handle;  // LxShader's handle
  bool result = false;      // Lumox_initLumoxRenderMan's answer
  int count = 0;            // declared parameter count
  std::vector<Parameter> parameters;
  // Lumox_initLumoxRenderMan, and the first scene call after it or after
  // reset(): the renderer's variables as the library saw them then.
  std::vector<EnvironmentReading> environment;
  // LxTransformEnd under the storage check: one line for each entry of the
  // scope's declarations that no longer reads as it did during the call.
  std::vector<std::string> changed;
};

LUMOX_API std::vector<Call> transcript();
LUMOX_API void clearTranscript();
// Off: calls are neither recorded nor copied (for measuring).
LUMOX_API void setRecording(bool on);

// Lumox_initLumoxRenderMan succeeds when the library path names this
// library's own installed file (Installed), always, or never. SucceedAsTwo
// succeeds answering the byte 2, as a library that is not C++ may: any byte
// but 0 means success.
enum class InitMode { Installed, Succeed, SucceedAsTwo, Fail };
LUMOX_API void setInitMode(InitMode mode);

// Lumox_homeDir answers the install root (Installed), null, "", a given
// text, or throws std::runtime_error.
enum class HomeDirMode { Installed, Null, Empty, Text, Throw };
LUMOX_API void setHomeDir(HomeDirMode mode, const std::string& text = {});

// The named function throws std::runtime_error on its next calls, after
// recording itself; an empty name stops it.
LUMOX_API void setThrowingFunction(const std::string& function);

// Storage check: the library keeps the token and value arrays of each
// declaration made inside a transform scope and reads them again when the
// scope ends, recording what changed in that LxTransformEnd's `changed`.
// A caller may release its storage only after LxTransformEnd returns (the
// handle text after LxShader returns). Nothing throws: reading released
// stack or heap is for AddressSanitizer to report.
LUMOX_API void setStorageCheck(bool on);

// Back to an installed library's behaviour: installed init, installed home,
// nothing throws, no storage check, recording on. Clears the transcript, and forgets the
// last library path and whether initialisation succeeded.
LUMOX_API void reset();

// This library's own file, and the install root it answers as home.
LUMOX_API std::string libraryFile();
LUMOX_API std::string installRoot();

}  // namespace lumox
}  // namespace standin
