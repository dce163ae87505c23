// What the unload teardown tests keep of the heap: the blocks the plug-in
// allocated and has not freed yet.
#pragma once

#include <array>
#include <mutex>

namespace testsupport {

// Blocks the plug-in's own code allocated and has not freed yet. Fixed
// storage: recording must not allocate.
class PluginBlocks {
public:
  void add(void* block) {
    if (!replace(nullptr, block)) {
      const std::lock_guard<std::mutex> lock(mutex_);
      overflowed_ = true;
    }
  }

  void remove(void* block) { replace(block, nullptr); }

  int live() {
    const std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (void* slot : slots_) {
      n += slot != nullptr ? 1 : 0;
    }
    return n;
  }

  bool overflowed() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return overflowed_;
  }

private:
  bool replace(void* from, void* to) {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (void*& slot : slots_) {
      if (slot == from) {
        slot = to;
        return true;
      }
    }
    return false;
  }

  std::mutex mutex_;
  std::array<void*, 4096> slots_{};
  bool overflowed_ = false;
};

}  // namespace testsupport
