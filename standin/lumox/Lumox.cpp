// The stand-in renderer library: records every call, writes RIB, and can be
// told to fail the way a broken installation would.
#include <Lumox/Lumox.h>

#include <standin/lumox/RibOutput.h>
#include <standin/lumox/Transcript.h>

#include "LibraryLocation.h"
#include "RibWriter.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace standin {
namespace lumox {

namespace {

struct State {
  std::mutex mutex;
  bool recording = true;
  std::vector<Call> calls;
  InitMode initMode = InitMode::Installed;
  HomeDirMode homeDirMode = HomeDirMode::Installed;
  std::string homeDirText;
  std::string homeDirAnswer;
  std::string throwingFunction;
  std::string libraryPath;
  bool initialized = false;
  bool warnedUninitialized = false;
  bool refusedSceneCall = false;
  std::unique_ptr<std::ofstream> file;
  std::unique_ptr<RibWriter> rib;
};

State& state() {
  static State instance;
  return instance;
}

void throwIfAsked(const State& s, const char* function) {
  if (s.throwingFunction == function) {
    throw std::runtime_error(std::string(function) + " failed (stand-in switch)");
  }
}

Parameter decode(LxToken token, LxPointer value) {
  Parameter p;
  p.address = value;
  if (token == nullptr) {
    return p;
  }
  p.declaration = token;
  const char* blank = std::strchr(token, ' ');
  p.type = blank != nullptr ? std::string(token, blank) : std::string(token);
  p.name = blank != nullptr ? std::string(blank + 1) : std::string();
  if (value == nullptr) {
    return p;
  }
  if (p.type == "int") {
    p.ints = {*static_cast<const std::int32_t*>(value)};
  } else if (p.type == "float") {
    p.floats = {*static_cast<const float*>(value)};
  } else if (p.type == "color") {
    const auto* rgb = static_cast<const float*>(value);
    p.floats = {rgb[0], rgb[1], rgb[2]};
  } else if (p.type == "string") {
    const char* text = *static_cast<const char* const*>(value);
    if (text != nullptr) {
      p.text = text;
    }
  } else {
    return p;
  }
  p.decoded = true;
  return p;
}

Call declarationCall(const char* function, const char* shader, int count, const LxToken tokens[],
                     const LxPointer values[]) {
  Call call;
  call.function = function;
  if (shader != nullptr) {
    call.text = shader;
  }
  call.count = count;
  if (tokens != nullptr && values != nullptr) {
    for (int k = 0; k < count; ++k) {
      call.parameters.push_back(decode(tokens[k], values[k]));
    }
  }
  return call;
}

void record(State& s, Call call) {
  if (s.recording) {
    s.calls.push_back(std::move(call));
  }
}

// Like a real library, an uninitialised one has nowhere to send the scene:
// the call is refused, and only the transcript sees it.
bool acceptSceneCall(State& s) {
  if (s.initialized) {
    return true;
  }
  s.refusedSceneCall = true;
  if (!s.warnedUninitialized) {
    s.warnedUninitialized = true;
    std::cerr << "Lumox: scene description before the library was initialised (library path \""
              << s.libraryPath << "\")\n";
  }
  return false;
}

}  // namespace

std::vector<Call> transcript() {
  State& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  return s.calls;
}

void clearTranscript() {
  State& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  s.calls.clear();
}

void setRecording(bool on) {
  State& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  s.recording = on;
}

void setInitMode(InitMode mode) {
  State& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  s.initMode = mode;
}

void setHomeDir(HomeDirMode mode, const std::string& text) {
  State& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  s.homeDirMode = mode;
  s.homeDirText = text;
}

void setThrowingFunction(const std::string& function) {
  State& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  s.throwingFunction = function;
}

void reset() {
  State& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  s.recording = true;
  s.calls.clear();
  s.initMode = InitMode::Installed;
  s.homeDirMode = HomeDirMode::Installed;
  s.homeDirText.clear();
  s.throwingFunction.clear();
  s.libraryPath.clear();
  s.initialized = false;
  s.warnedUninitialized = false;
  s.refusedSceneCall = false;
}

std::string libraryFile() {
  return ownLibraryFile();
}

std::string installRoot() {
  const std::filesystem::path file(ownLibraryFile());
  return file.parent_path().parent_path().string();
}

void openOutput(std::ostream& out) {
  State& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  s.rib.reset();
  s.file.reset();
  s.refusedSceneCall = false;
  s.rib = std::make_unique<RibWriter>(out);
}

void openOutputFile(const std::string& path) {
  auto file = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc);
  if (!*file) {
    throw std::runtime_error("cannot open " + path + " for writing");
  }
  State& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  s.rib.reset();
  s.refusedSceneCall = false;
  s.file = std::move(file);
  s.rib = std::make_unique<RibWriter>(*s.file);
}

void writeLine(const std::string& line) {
  State& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  if (s.rib) {
    s.rib->line(line);
  }
}

bool sceneRefused() {
  State& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  return s.refusedSceneCall;
}

std::string givenLibraryPath() {
  State& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  return s.libraryPath;
}

void closeOutput() {
  State& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  if (s.rib) {
    s.rib->flush();
  }
  s.rib.reset();
  if (s.file) {
    s.file->close();
    const bool failed = s.file->fail();
    s.file.reset();
    if (failed) {
      throw std::runtime_error("writing the RIB output failed");
    }
  }
}

}  // namespace lumox
}  // namespace standin

using standin::lumox::Call;
using standin::lumox::state;

extern "C" {

void Lumox_initPath(const char* libraryPath) {
  auto& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  Call call;
  call.function = "Lumox_initPath";
  if (libraryPath != nullptr) {
    call.text = libraryPath;
  }
  record(s, std::move(call));
  standin::lumox::throwIfAsked(s, "Lumox_initPath");
  s.libraryPath = libraryPath != nullptr ? libraryPath : "";
}

bool Lumox_initLumoxRenderMan() {
  auto& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  bool ok = false;
  switch (s.initMode) {
    case standin::lumox::InitMode::Installed:
      ok = standin::lumox::namesThisLibrary(s.libraryPath);
      break;
    case standin::lumox::InitMode::Succeed:
      ok = true;
      break;
    case standin::lumox::InitMode::Fail:
      ok = false;
      break;
  }
  Call call;
  call.function = "Lumox_initLumoxRenderMan";
  call.result = ok;
  record(s, std::move(call));
  standin::lumox::throwIfAsked(s, "Lumox_initLumoxRenderMan");
  s.initialized = ok;
  return ok;
}

const char* Lumox_homeDir() {
  auto& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  Call call;
  call.function = "Lumox_homeDir";
  const char* answer = nullptr;
  switch (s.homeDirMode) {
    case standin::lumox::HomeDirMode::Installed:
      s.homeDirAnswer = standin::lumox::installRoot();
      answer = s.homeDirAnswer.c_str();
      break;
    case standin::lumox::HomeDirMode::Null:
      break;
    case standin::lumox::HomeDirMode::Empty:
      s.homeDirAnswer.clear();
      answer = s.homeDirAnswer.c_str();
      break;
    case standin::lumox::HomeDirMode::Text:
      s.homeDirAnswer = s.homeDirText;
      answer = s.homeDirAnswer.c_str();
      break;
    case standin::lumox::HomeDirMode::Throw:
      record(s, std::move(call));
      throw std::runtime_error("Lumox_homeDir failed (stand-in switch)");
  }
  if (answer != nullptr) {
    call.text = answer;
  }
  record(s, std::move(call));
  return answer;
}

void LxTransformBegin() {
  auto& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  const bool accepted = standin::lumox::acceptSceneCall(s);
  if (s.recording) {
    Call call;
    call.function = "LxTransformBegin";
    record(s, std::move(call));
  }
  standin::lumox::throwIfAsked(s, "LxTransformBegin");
  if (accepted && s.rib) {
    s.rib->transformBegin();
  }
}

LxLightHandle LxLightSourceV(const char* shader, int count, const LxToken tokens[], const LxPointer values[]) {
  auto& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  const bool accepted = standin::lumox::acceptSceneCall(s);
  if (s.recording) {
    record(s, standin::lumox::declarationCall("LxLightSourceV", shader, count, tokens, values));
  }
  standin::lumox::throwIfAsked(s, "LxLightSourceV");
  if (accepted && s.rib) {
    s.rib->lightSource(shader, count, tokens, values);
  }
  return nullptr;
}

LxLightHandle LxShader(const char* shader, const char* handle, int count, const LxToken tokens[],
                       const LxPointer values[]) {
  auto& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  const bool accepted = standin::lumox::acceptSceneCall(s);
  if (s.recording) {
    Call call = standin::lumox::declarationCall("LxShader", shader, count, tokens, values);
    if (handle != nullptr) {
      call.handle = handle;
    }
    record(s, std::move(call));
  }
  standin::lumox::throwIfAsked(s, "LxShader");
  if (accepted && s.rib) {
    s.rib->shader(shader, handle, count, tokens, values);
  }
  return nullptr;
}

void LxTransformEnd() {
  auto& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  const bool accepted = standin::lumox::acceptSceneCall(s);
  if (s.recording) {
    Call call;
    call.function = "LxTransformEnd";
    record(s, std::move(call));
  }
  standin::lumox::throwIfAsked(s, "LxTransformEnd");
  if (accepted && s.rib) {
    s.rib->transformEnd();
  }
}

}  // extern "C"
