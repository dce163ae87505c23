// The RIB output the scene calls write into, if one is open.
#pragma once

#include "RibWriter.h"

#include <mutex>

namespace standin {
namespace lumox {

// Holds the output locked while it lives, so a call's line is written whole
// and the output cannot close under it.
class SceneOutput {
public:
  SceneOutput();
  SceneOutput(const SceneOutput&) = delete;
  SceneOutput& operator=(const SceneOutput&) = delete;

  // Null when no output is open.
  RibWriter* writer() const { return writer_; }

  // A scene call was refused, so the output lacks it (see sceneRefused).
  void refuse();
  void forgetRefusal();

private:
  std::unique_lock<std::mutex> lock_;
  RibWriter* writer_;
};

}  // namespace lumox
}  // namespace standin
