// Memory running out at each allocation of a node's hand-off in turn: the
// failure passes out to the constructor, and the loader is left as it was,
// so the next construction runs the whole set-up again.
#include <liblumox/Handoff.h>

#include <standin/lumox/Transcript.h>

#include "support/Transcript.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <new>
#include <string>

namespace {

// Allocations left before the next one fails; negative: no limit.
long allocationsLeft = -1;
bool allocationFailed = false;

void* allocate(std::size_t size) {
  if (allocationsLeft == 0) {
    allocationFailed = true;
    throw std::bad_alloc();
  }
  if (allocationsLeft > 0) {
    --allocationsLeft;
  }
  if (void* block = std::malloc(size != 0 ? size : 1)) {
    return block;
  }
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
  return allocate(size);
}

void* operator new[](std::size_t size) {
  return allocate(size);
}

void operator delete(void* block) noexcept {
  std::free(block);
}

void operator delete[](void* block) noexcept {
  std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}

namespace {

using ::testing::ElementsAre;

TEST(HandoffOutOfMemory, EachFailedAllocationLeavesTheLoaderAsItWas) {
  standin::lumox::reset();
  standin::lumox::setInitMode(standin::lumox::InitMode::Fail);
  standin::lumox::setHomeDir(standin::lumox::HomeDirMode::Text, "/opt/renderer");
  // Long enough that no text of the set-up fits in a string's own buffer.
  const std::string folder(300, 'p');
#if defined(_WIN32)
  const std::string hostPath = "C:\\suite\\" + folder + "\\LumoxIndirect.dll";
  const std::string libraryPath = "C:/suite/bin/Lumox.dll";
#else
  // A backslash is part of a file name here, not a separator.
  const std::string hostPath = "/suite/" + folder + "/LumoxIndirect.so";
  const std::string libraryPath = "/suite/bin/Lumox.dll";
#endif

  int failedBeforeTheLibrary = 0;
  for (long n = 0;; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " fails");
    ASSERT_LT(n, 1000) << "the hand-off never stops allocating";
    standin::lumox::clearTranscript();
    bool threw = false;
    allocationFailed = false;
    allocationsLeft = n;
    try {
      liblumox::handOff(hostPath.c_str());
    } catch (const std::bad_alloc&) {
      threw = true;
    }
    allocationsLeft = -1;
    if (!allocationFailed) {
      break;  // the set-up needs fewer allocations than that
    }
    if (threw && standin::lumox::transcript().empty()) {
      ++failedBeforeTheLibrary;
    }

    standin::lumox::clearTranscript();
    liblumox::handOff(hostPath.c_str());
    const auto calls = standin::lumox::transcript();
    EXPECT_THAT(testsupport::functionsOf(calls),
                ElementsAre("Lumox_initPath", "Lumox_initLumoxRenderMan", "Lumox_homeDir"));
    if (!calls.empty()) {
      EXPECT_EQ(calls.front().text, std::optional<std::string>(libraryPath));
    }
  }
  // The host's path and the library's are built before the library is told.
  EXPECT_GE(failedBeforeTheLibrary, 2);
  standin::lumox::reset();
}

}  // namespace
