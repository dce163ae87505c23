#include <liblumox/SetEnv.h>

#include <harness/Environment.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

namespace {

using liblumox::setEnv;
using testsupport::childSees;
using testsupport::environmentValue;

constexpr const char* kName = "LUMOXINDIRECT_SETENV_TEST";

TEST(SetEnv, SetsReplacesAndRemoves) {
  struct Step {
    const char* value;
    std::optional<std::string> expected;
  };
  const Step steps[] = {
      {nullptr, std::nullopt},  // removing an unset variable succeeds
      {"first", "first"},
      {"second value", "second value"},
      {"", std::nullopt},
      {"again", "again"},
      {nullptr, std::nullopt},
      {nullptr, std::nullopt},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.value != nullptr ? step.value : "(null)");
    EXPECT_EQ(setEnv(kName, step.value), 0);
    EXPECT_EQ(environmentValue(kName), step.expected);
  }
}

// An entry is NAME=VALUE and its terminator; Windows builds those of up to
// 256 bytes in a buffer of its own, longer ones on the heap.
TEST(SetEnv, EntriesEitherSideOfTheLocalBufferAreSetInFull) {
  const std::size_t overhead = std::strlen(kName) + 2;
  for (const std::size_t entry : {254u, 255u, 256u, 257u, 258u, 1000u, 30000u}) {
    const std::string value(entry - overhead, 'v');
    ASSERT_EQ(setEnv(kName, value.c_str()), 0) << entry;
    EXPECT_EQ(environmentValue(kName), value) << entry;
  }
  setEnv(kName, nullptr);
}

TEST(SetEnv, RefusesNamesThatAreNoNames) {
  ASSERT_EQ(setEnv(kName, "kept"), 0);
  const char* badNames[] = {nullptr, "", "=", "A=B", "LUMOXINDIRECT_SETENV_TEST=x"};
  for (const char* name : badNames) {
    errno = 0;
    EXPECT_EQ(setEnv(name, "value"), -1) << (name != nullptr ? name : "(null)");
    EXPECT_EQ(errno, EINVAL);
  }
  EXPECT_EQ(environmentValue(kName), std::optional<std::string>("kept"));
  setEnv(kName, nullptr);
}

TEST(SetEnv, ChildProcessesSeeTheChange) {
  ASSERT_EQ(setEnv(kName, "for-the-child"), 0);
  EXPECT_TRUE(childSees(kName, std::string("for-the-child")));
  ASSERT_EQ(setEnv(kName, nullptr), 0);
  EXPECT_TRUE(childSees(kName, std::nullopt));
}

}  // namespace
