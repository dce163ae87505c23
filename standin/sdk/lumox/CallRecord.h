// The stand-in renderer's record of the calls it received, and the switches
// that make it behave like a broken installation.
#pragma once

#include <Lumox/Lumox.h>
#include <standin/lumox/Transcript.h>

#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace standin {
namespace lumox {

class CallRecord {
public:
  static CallRecord& instance();

  // `makeCall` runs only while recording, so measurements pay no copies.
  template <typename MakeCall>
  void add(MakeCall&& makeCall) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (recording_) {
      calls_.push_back(std::forward<MakeCall>(makeCall)());
    }
  }

  // Throws std::runtime_error when `function` is the one told to fail.
  void throwIfAsked(const char* function) const;

  InitMode initMode() const;
  // The home directory switch and the text it answers with.
  std::pair<HomeDirMode, std::string> homeDir() const;

  std::vector<Call> calls() const;
  void clear();
  void setRecording(bool on);
  void setInitMode(InitMode mode);
  void setHomeDir(HomeDirMode mode, const std::string& text);
  void setThrowingFunction(const std::string& function);
  // Recording on, every switch back to an installed library's, no calls.
  void reset();

private:
  CallRecord() = default;

  mutable std::mutex mutex_;
  bool recording_ = true;
  std::vector<Call> calls_;
  InitMode initMode_ = InitMode::Installed;
  HomeDirMode homeDirMode_ = HomeDirMode::Installed;
  std::string homeDirText_;
  std::string throwingFunction_;
};

// A declaration's call, its parameters decoded and copied out of the
// caller's arrays (which are valid only during the call).
Call declarationCall(const char* function, const char* shader, int count, const LxToken tokens[],
                     const LxPointer values[]);

}  // namespace lumox
}  // namespace standin
