// A long entry whose memory cannot be had leaves the environment alone.
// Only Windows builds entries itself; elsewhere the C library copies them.
#include <liblumox/SetEnv.h>

#include <harness/Environment.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <new>
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

TEST(SetEnvOutOfMemory, LongEntryFailsWithEnomemAndChangesNothing) {
#if !defined(_WIN32)
  GTEST_SKIP() << "entries are built by the C library on this platform";
#else
  ASSERT_EQ(liblumox::setEnv(kName, "before"), 0);
  const std::string longValue(300, 'v');

  failArrayAllocations = true;
  errno = 0;
  const int result = liblumox::setEnv(kName, longValue.c_str());
  const int error = errno;
  // Short entries need no heap and still work.
  const int shortResult = liblumox::setEnv(kName, "short");
  failArrayAllocations = false;

  EXPECT_EQ(result, -1);
  EXPECT_EQ(error, ENOMEM);
  EXPECT_EQ(shortResult, 0);
  EXPECT_EQ(testsupport::environmentValue(kName), std::optional<std::string>("short"));

  ASSERT_EQ(liblumox::setEnv(kName, longValue.c_str()), 0);
  EXPECT_EQ(testsupport::environmentValue(kName), longValue);
  liblumox::setEnv(kName, nullptr);
#endif
}

}  // namespace
