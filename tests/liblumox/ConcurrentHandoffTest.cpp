// Nodes constructed on many threads at once set the library up once.
#include <liblumox/Handoff.h>

#include <standin/lumox/Transcript.h>

#include "support/FreshProcess.h"
#include "support/Latch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace {

TEST(ConcurrentHandoff, InitialisesTheLibraryOnce) {
  // The loader must be new when the threads start.
  if (!testsupport::inFreshProcess()) {
    return;
  }
  standin::lumox::reset();
  standin::lumox::setInitMode(standin::lumox::InitMode::Succeed);
  standin::lumox::setHomeDir(standin::lumox::HomeDirMode::Text, "/opt/renderer");

  constexpr int kThreads = 16;
  testsupport::Latch start{kThreads};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&start] {
      start.arriveAndWait();
      for (int n = 0; n < 50; ++n) {
        liblumox::handOff("/suite/plugins/x.so");
      }
    });
  }
  for (auto& t : threads) {
    t.join();
  }
  const auto calls = standin::lumox::transcript();
  const auto count = [&](const char* function) {
    return std::count_if(calls.begin(), calls.end(), [&](const auto& c) { return c.function == function; });
  };
  EXPECT_EQ(count("Lumox_initPath"), 1);
  EXPECT_EQ(count("Lumox_initLumoxRenderMan"), 1);
  EXPECT_EQ(count("Lumox_homeDir"), 1);
}

}  // namespace
