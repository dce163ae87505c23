// A single-use count-down latch (std::latch arrives with C++20).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace testsupport {

class Latch {
public:
  explicit Latch(std::ptrdiff_t count) : count_(count) {}
  Latch(const Latch&) = delete;
  Latch& operator=(const Latch&) = delete;

  void countDown() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (count_ > 0 && --count_ == 0) {
      zero_.notify_all();
    }
  }

  void wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    zero_.wait(lock, [this] { return count_ == 0; });
  }

  void arriveAndWait() {
    countDown();
    wait();
  }

private:
  std::mutex mutex_;
  std::condition_variable zero_;
  std::ptrdiff_t count_;
};

}  // namespace testsupport
