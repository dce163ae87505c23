#include "CallRecord.h"

#include <cstdint>
#include <cstring>

namespace standin {
namespace lumox {

namespace {

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

}  // namespace

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

CallRecord& CallRecord::instance() {
  static CallRecord record;
  return record;
}

void CallRecord::throwIfAsked(const char* function) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (throwingFunction_ == function) {
    throw std::runtime_error(std::string(function) + " failed (stand-in switch)");
  }
}

InitMode CallRecord::initMode() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return initMode_;
}

std::pair<HomeDirMode, std::string> CallRecord::homeDir() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return {homeDirMode_, homeDirText_};
}

std::vector<Call> CallRecord::calls() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

void CallRecord::clear() {
  const std::lock_guard<std::mutex> lock(mutex_);
  calls_.clear();
}

void CallRecord::setRecording(bool on) {
  const std::lock_guard<std::mutex> lock(mutex_);
  recording_ = on;
}

void CallRecord::setInitMode(InitMode mode) {
  const std::lock_guard<std::mutex> lock(mutex_);
  initMode_ = mode;
}

void CallRecord::setHomeDir(HomeDirMode mode, const std::string& text) {
  const std::lock_guard<std::mutex> lock(mutex_);
  homeDirMode_ = mode;
  homeDirText_ = text;
}

void CallRecord::setThrowingFunction(const std::string& function) {
  const std::lock_guard<std::mutex> lock(mutex_);
  throwingFunction_ = function;
}

void CallRecord::reset() {
  const std::lock_guard<std::mutex> lock(mutex_);
  recording_ = true;
  calls_.clear();
  initMode_ = InitMode::Installed;
  homeDirMode_ = HomeDirMode::Installed;
  homeDirText_.clear();
  throwingFunction_.clear();
}

std::vector<Call> transcript() {
  return CallRecord::instance().calls();
}

void clearTranscript() {
  CallRecord::instance().clear();
}

void setRecording(bool on) {
  CallRecord::instance().setRecording(on);
}

void setInitMode(InitMode mode) {
  CallRecord::instance().setInitMode(mode);
}

void setHomeDir(HomeDirMode mode, const std::string& text) {
  CallRecord::instance().setHomeDir(mode, text);
}

void setThrowingFunction(const std::string& function) {
  CallRecord::instance().setThrowingFunction(function);
}

}  // namespace lumox
}  // namespace standin
