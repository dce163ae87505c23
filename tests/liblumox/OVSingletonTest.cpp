#include <liblumox/OVSingleton.h>

#include "support/FreshProcess.h"
#include "support/Latch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

constexpr int kThreads = 8;

// Every caller is under way before the first creation may finish.
testsupport::Latch callersUnderWay{kThreads};
std::atomic<int> racedConstructions{0};

class Raced : public liblumox::OVSingleton<Raced> {
public:
  Raced() {
    ++racedConstructions;
    callersUnderWay.wait();
  }
};

static_assert(!std::is_copy_constructible_v<Raced>);
static_assert(!std::is_copy_assignable_v<Raced>);
static_assert(std::has_virtual_destructor_v<liblumox::OVSingleton<Raced>>);

// The singletons are created once per process and, destroyed, must not be
// asked for again: each case runs in a new process.

TEST(OVSingleton, CallersRacingTheFirstCallShareOneObject) {
  if (!testsupport::inFreshProcess()) {
    return;
  }
  std::vector<Raced*> seen(kThreads, nullptr);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&seen, i] {
      callersUnderWay.countDown();
      seen[static_cast<std::size_t>(i)] = &Raced::instance();
    });
  }
  for (auto& t : threads) {
    t.join();
  }
  EXPECT_EQ(racedConstructions.load(), 1);
  for (Raced* p : seen) {
    EXPECT_EQ(p, seen.front());
  }
  EXPECT_EQ(&Raced::instance(), seen.front());
}

int failingAttempts = 0;

class FailsFirst : public liblumox::OVSingleton<FailsFirst> {
public:
  FailsFirst() {
    if (++failingAttempts == 1) {
      throw std::bad_alloc();
    }
  }
};

TEST(OVSingleton, AFailedCreationIsRetriedByTheNextCall) {
  if (!testsupport::inFreshProcess()) {
    return;
  }
  EXPECT_THROW(FailsFirst::instance(), std::bad_alloc);
  FailsFirst* created = &FailsFirst::instance();
  EXPECT_EQ(failingAttempts, 2);
  EXPECT_EQ(&FailsFirst::instance(), created);
  EXPECT_EQ(failingAttempts, 2);
}

int destructions = 0;

class Counted : public liblumox::OVSingleton<Counted> {
public:
  ~Counted() override { ++destructions; }
};

TEST(OVSingleton, DestroyDeletesThroughTheVirtualDestructorOnce) {
  if (!testsupport::inFreshProcess()) {
    return;
  }
  Counted::instance();
  Counted::destroy();
  EXPECT_EQ(destructions, 1);
  Counted::destroy();
  EXPECT_EQ(destructions, 1);
}

}  // namespace
