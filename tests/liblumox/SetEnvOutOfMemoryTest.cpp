// A long entry whose memory cannot be had leaves the environment alone.
// Only Windows builds entries itself, so only its build has this program.
#include <liblumox/SetEnv.h>

#include <harness/Environment.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>

namespace {

bool failArrayAllocations = false;

}  // namespace

// Replaces the allocation setEnv uses for entries past its local buffer.
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (failArrayAllocations) {
    return nullptr;
  }
  return std::malloc(size != 0 ? size : 1);
}

void operator delete[](void* block) noexcept {
  std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}

void* operator new[](std::size_t size) {
  if (void* block = std::malloc(size != 0 ? size : 1)) {
    return block;
  }
  throw std::bad_alloc();
}

namespace {

constexpr const char* kName = "LUMOXINDIRECT_OOM_TEST";

// A value that makes NAME=VALUE and its terminator `entry` bytes long.
std::string valueForEntry(std::size_t entry) {
  return std::string(entry - std::strlen(kName) - 2, 'v');
}

TEST(SetEnvOutOfMemory, OnlyEntriesPastTheLocalBufferNeedTheHeap) {
  struct Case {
    std::size_t entry;
    bool needsHeap;
  };
  const Case cases[] = {{3 + std::strlen(kName), false}, {255, false}, {256, false}, {257, true}, {4000, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE("entry of " + std::to_string(c.entry) + " bytes");
    ASSERT_EQ(liblumox::setEnv(kName, "before"), 0);
    const std::string value = valueForEntry(c.entry);

    failArrayAllocations = true;
    errno = 0;
    const int result = liblumox::setEnv(kName, value.c_str());
    const int error = errno;
    const std::optional<std::string> after = testsupport::environmentValue(kName);
    failArrayAllocations = false;

    if (c.needsHeap) {
      EXPECT_EQ(result, -1);
      EXPECT_EQ(error, ENOMEM);
      EXPECT_EQ(after, std::optional<std::string>("before")) << "the environment was touched";
    } else {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(after, value);
    }
  }
  liblumox::setEnv(kName, nullptr);
}

TEST(SetEnvOutOfMemory, MemoryBackMeansLongEntriesWorkAgain) {
  const std::string value = valueForEntry(300);
  failArrayAllocations = true;
  EXPECT_EQ(liblumox::setEnv(kName, value.c_str()), -1);
  failArrayAllocations = false;
  ASSERT_EQ(liblumox::setEnv(kName, value.c_str()), 0);
  EXPECT_EQ(testsupport::environmentValue(kName), value);
  liblumox::setEnv(kName, nullptr);
}

}  // namespace
