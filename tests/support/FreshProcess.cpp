#include "support/FreshProcess.h"

#include <harness/Process.h>
#include <harness/TestPaths.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace testsupport {

namespace {

constexpr const char* kVariable = "LUMOX_TEST_FRESH_PROCESS_CASE";

void setVariable(const std::string& value) {
#if defined(_WIN32)
  _putenv_s(kVariable, value.c_str());
#else
  if (value.empty()) {
    unsetenv(kVariable);
  } else {
    setenv(kVariable, value.c_str(), 1);
  }
#endif
}

// The child finds its case by name; the variable is gone again once it runs.
class CaseVariable {
public:
  explicit CaseVariable(const std::string& name) { setVariable(name); }
  ~CaseVariable() { setVariable(""); }
  CaseVariable(const CaseVariable&) = delete;
  CaseVariable& operator=(const CaseVariable&) = delete;
};

}  // namespace

bool inFreshProcess() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string name = std::string(info->test_suite_name()) + "." + info->name();
  const char* running = std::getenv(kVariable);
  if (running != nullptr && name == running) {
    return true;
  }
  ProcessResult result;
  {
    const CaseVariable variable(name);
    result = runProcess(executableFile(), {"--gtest_filter=" + name, "--gtest_repeat=1", "--gtest_shuffle=0"});
  }
  EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
  // A filter that matched nothing would pass too.
  EXPECT_NE(result.out.find("[  PASSED  ] 1 test."), std::string::npos) << result.out;
  return false;
}

}  // namespace testsupport
