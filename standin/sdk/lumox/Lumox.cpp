// The stand-in renderer library's seven functions. Each records itself, may
// be told to fail, and writes its RIB when an output is open.
#include <Lumox/Lumox.h>

#include "CallRecord.h"
#include "LibraryLocation.h"
#include "SceneOutput.h"

#include <standin/lumox/RibOutput.h>

#include <iostream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>

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
    std::cerr << "Lumox: scene description before the library was initialised (library path \""
              << lib.libraryPath << "\")\n";
  }
  return false;
}

// A scene call: refused before initialisation, recorded, failed when told
// to, then written to the RIB output if one is open.
template <typename MakeCall, typename Write>
void sceneCall(const char* function, MakeCall&& makeCall, Write&& write) {
  Library& lib = library();
  const std::lock_guard<std::mutex> lock(lib.mutex);
  const bool accepted = acceptSceneCall(lib);
  auto& record = CallRecord::instance();
  record.add(std::forward<MakeCall>(makeCall));
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
  SceneOutput().forgetRefusal();
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

bool Lumox_initLumoxRenderMan() {
  auto& lib = library();
  const std::lock_guard<std::mutex> lock(lib.mutex);
  auto& record = CallRecord::instance();
  bool ok = false;
  switch (record.initMode()) {
    case standin::lumox::InitMode::Installed:
      ok = standin::lumox::namesThisLibrary(lib.libraryPath);
      break;
    case standin::lumox::InitMode::Succeed:
      ok = true;
      break;
    case standin::lumox::InitMode::Fail:
      ok = false;
      break;
  }
  record.add([ok] {
    Call call = standin::lumox::plainCall("Lumox_initLumoxRenderMan");
    call.result = ok;
    return call;
  });
  record.throwIfAsked("Lumox_initLumoxRenderMan");
  lib.initialized = ok;
  return ok;
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
  sceneCall("LxTransformBegin", [] { return plainCall("LxTransformBegin"); },
            [](RibWriter& rib) { rib.transformBegin(); });
}

LxLightHandle LxLightSourceV(const char* shader, int count, const LxToken tokens[], const LxPointer values[]) {
  using namespace standin::lumox;
  sceneCall(
      "LxLightSourceV",
      [&] { return declarationCall("LxLightSourceV", shader, count, tokens, values); },
      [&](RibWriter& rib) { rib.lightSource(shader, count, tokens, values); });
  return nullptr;
}

LxLightHandle LxShader(const char* shader, const char* handle, int count, const LxToken tokens[],
                       const LxPointer values[]) {
  using namespace standin::lumox;
  sceneCall(
      "LxShader",
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
  sceneCall("LxTransformEnd", [] { return plainCall("LxTransformEnd"); },
            [](RibWriter& rib) { rib.transformEnd(); });
}

}  // extern "C"
