// The stand-in renderer library's seven functions. Each records itself, may
// be told to fail, and writes its RIB when an output is open; the scene
// calls also serve the storage check.
#include <Lumox/Lumox.h>

#include "CallRecord.h"
#include "InitAnswer.h"
#include "LibraryLocation.h"
#include "RendererEnvironment.h"
#include "SceneOutput.h"
#include "StorageCheck.h"

#include <standin/MessageText.h>
#include <standin/lumox/RibOutput.h>

#include <cstdint>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace standin {
namespace lumox {

namespace {

// What the library itself keeps between calls, as a real one would.
struct Library {
  std::mutex mutex;
  std::string libraryPath;
  bool initialized = false;
  bool warnedUninitialized = false;
  // Lumox_homeDir's answer stays valid until the next call.
  std::string homeDirAnswer;
  // The next scene call records the environment (the first since the
  // library was initialised or reset).
  bool environmentPending = true;
  StorageCheck storage;
};

Library& library() {
  static Library instance;
  return instance;
}

Call plainCall(const char* function) {
  Call call;
  call.function = function;
  return call;
}

// Like a real library, an uninitialised one has nowhere to send the scene:
// the call is refused, and only the transcript sees it.
bool acceptSceneCall(Library& lib) {
  if (lib.initialized) {
    return true;
  }
  SceneOutput().refuse();
  if (!lib.warnedUninitialized) {
    lib.warnedUninitialized = true;
    // The path comes from the caller: escaped, so that the warning stays
    // one line whatever folder the plug-in was copied to.
    std::cerr << "Lumox: scene description before the library was initialised (library path "
              << quoted(lib.libraryPath) << ")\n";
  }
  return false;
}

// A scene call, made with the library locked: refused before
// initialisation, recorded, failed when told to, then written to the RIB
// output if one is open.
template <typename MakeCall, typename Write>
void sceneCall(Library& lib, const char* function, MakeCall&& makeCall, Write&& write) {
  const bool accepted = acceptSceneCall(lib);
  const bool readEnvironment = std::exchange(lib.environmentPending, false);
  auto& record = CallRecord::instance();
  record.add([&] {
    Call call = std::forward<MakeCall>(makeCall)();
    if (readEnvironment) {
      call.environment = readRendererEnvironment();
    }
    return call;
  });
  record.throwIfAsked(function);
  const SceneOutput out;
  if (accepted && out.writer() != nullptr) {
    std::forward<Write>(write)(*out.writer());
  }
}

}  // namespace

void reset() {
  Library& lib = library();
  const std::lock_guard<std::mutex> lock(lib.mutex);
  CallRecord::instance().reset();
  lib.libraryPath.clear();
  lib.initialized = false;
  lib.warnedUninitialized = false;
  lib.environmentPending = true;
  lib.storage.setOn(false);
  SceneOutput().forgetRefusal();
}

void setStorageCheck(bool on) {
  Library& lib = library();
  const std::lock_guard<std::mutex> lock(lib.mutex);
  lib.storage.setOn(on);
}

// Lumox_initLumoxRenderMan's work; InitAnswer.cpp exports it as the byte
// a library that is not C++ answers.
std::uint8_t initialiseRenderMan() {
  Library& lib = library();
  const std::lock_guard<std::mutex> lock(lib.mutex);
  auto& record = CallRecord::instance();
  std::uint8_t answer = 0;
  switch (record.initMode()) {
    case InitMode::Installed:
      answer = namesThisLibrary(lib.libraryPath) ? 1 : 0;
      break;
    case InitMode::Succeed:
      answer = 1;
      break;
    case InitMode::SucceedAsTwo:
      answer = 2;
      break;
    case InitMode::Fail:
      answer = 0;
      break;
  }
  const bool ok = answer != 0;
  // What the library finds before its loader has set anything.
  record.add([ok] {
    Call call = plainCall("Lumox_initLumoxRenderMan");
    call.result = ok;
    call.environment = readRendererEnvironment();
    return call;
  });
  lib.environmentPending = true;
  record.throwIfAsked("Lumox_initLumoxRenderMan");
  lib.initialized = ok;
  return answer;
}

std::string givenLibraryPath() {
  Library& lib = library();
  const std::lock_guard<std::mutex> lock(lib.mutex);
  return lib.libraryPath;
}

}  // namespace lumox
}  // namespace standin

using standin::lumox::Call;
using standin::lumox::CallRecord;
using standin::lumox::Library;
using standin::lumox::SceneOutput;
using standin::lumox::library;

extern "C" {

void Lumox_initPath(const char* libraryPath) {
  auto& lib = library();
  const std::lock_guard<std::mutex> lock(lib.mutex);
  auto& record = CallRecord::instance();
  record.add([libraryPath] {
    Call call = standin::lumox::plainCall("Lumox_initPath");
    if (libraryPath != nullptr) {
      call.text = libraryPath;
    }
    return call;
  });
  record.throwIfAsked("Lumox_initPath");
  lib.libraryPath = libraryPath != nullptr ? libraryPath : "";
}

const char* Lumox_homeDir() {
  auto& lib = library();
  const std::lock_guard<std::mutex> lock(lib.mutex);
  auto& record = CallRecord::instance();
  const auto [mode, text] = record.homeDir();
  const char* answer = nullptr;
  switch (mode) {
    case standin::lumox::HomeDirMode::Installed:
      lib.homeDirAnswer = standin::lumox::installRoot();
      answer = lib.homeDirAnswer.c_str();
      break;
    case standin::lumox::HomeDirMode::Null:
      break;
    case standin::lumox::HomeDirMode::Empty:
      lib.homeDirAnswer.clear();
      answer = lib.homeDirAnswer.c_str();
      break;
    case standin::lumox::HomeDirMode::Text:
      lib.homeDirAnswer = text;
      answer = lib.homeDirAnswer.c_str();
      break;
    case standin::lumox::HomeDirMode::Throw:
      record.add([] { return standin::lumox::plainCall("Lumox_homeDir"); });
      throw std::runtime_error("Lumox_homeDir failed (stand-in switch)");
  }
  record.add([answer] {
    Call call = standin::lumox::plainCall("Lumox_homeDir");
    if (answer != nullptr) {
      call.text = answer;
    }
    return call;
  });
  return answer;
}

void LxTransformBegin() {
  using namespace standin::lumox;
  Library& lib = library();
  const std::lock_guard<std::mutex> lock(lib.mutex);
  sceneCall(lib, "LxTransformBegin", [] { return plainCall("LxTransformBegin"); },
            [](RibWriter& rib) { rib.transformBegin(); });
  // A scope that failed to open is not closed by its caller.
  lib.storage.scopeBegins();
}

// Declarations are kept before they may fail: the caller's storage must
// outlive the scope all the same.
LxLightHandle LxLightSourceV(const char* shader, int count, const LxToken tokens[], const LxPointer values[]) {
  using namespace standin::lumox;
  Library& lib = library();
  const std::lock_guard<std::mutex> lock(lib.mutex);
  lib.storage.declared("LxLightSourceV", count, tokens, values);
  sceneCall(
      lib, "LxLightSourceV",
      [&] { return declarationCall("LxLightSourceV", shader, count, tokens, values); },
      [&](RibWriter& rib) { rib.lightSource(shader, count, tokens, values); });
  return nullptr;
}

LxLightHandle LxShader(const char* shader, const char* handle, int count, const LxToken tokens[],
                       const LxPointer values[]) {
  using namespace standin::lumox;
  Library& lib = library();
  const std::lock_guard<std::mutex> lock(lib.mutex);
  lib.storage.declared("LxShader", count, tokens, values);
  sceneCall(
      lib, "LxShader",
      [&] {
        Call call = declarationCall("LxShader", shader, count, tokens, values);
        if (handle != nullptr) {
          call.handle = handle;
        }
        return call;
      },
      [&](RibWriter& rib) { rib.shader(shader, handle, count, tokens, values); });
  return nullptr;
}

void LxTransformEnd() {
  using namespace standin::lumox;
  Library& lib = library();
  const std::lock_guard<std::mutex> lock(lib.mutex);
  // The scope ends even when this call then fails.
  std::vector<std::string> changed = lib.storage.scopeEnds();
  sceneCall(
      lib, "LxTransformEnd",
      [&] {
        Call call = plainCall("LxTransformEnd");
        call.changed = std::move(changed);
        return call;
      },
      [](RibWriter& rib) { rib.transformEnd(); });
}

}  // extern "C"
