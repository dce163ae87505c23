#include <liblumox/OVSingleton.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

std::atomic<int> racedConstructions{0};

class Raced : public liblumox::OVSingleton<Raced> {
public:
  Raced() {
    ++racedConstructions;
    // Widen the window in which a second caller can arrive mid-creation.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
};

TEST(OVSingleton, CallersRacingTheFirstCallShareOneObject) {
  constexpr int kThreads = 8;
  std::atomic<bool> go{false};
  std::vector<Raced*> seen(kThreads, nullptr);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      while (!go.load()) {
        std::this_thread::yield();
      }
      seen[static_cast<std::size_t>(i)] = &Raced::instance();
    });
  }
  go = true;
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
  Counted::instance();
  Counted::destroy();
  EXPECT_EQ(destructions, 1);
  Counted::destroy();
  EXPECT_EQ(destructions, 1);
}

TEST(OVSingleton, CannotBeCopied) {
  EXPECT_FALSE(std::is_copy_constructible_v<Raced>);
  EXPECT_FALSE(std::is_copy_assignable_v<Raced>);
  EXPECT_TRUE(std::has_virtual_destructor_v<liblumox::OVSingleton<Raced>>);
}

}  // namespace
