// What the stand-in renderer records of the underlying renderer's variables:
// as it finds them at initialisation, and at the first scene call after it.
#include <standin/lumox/Transcript.h>

#include <harness/Environment.h>

#include "support/Transcript.h"

#include <gmock/gmock.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#if defined(_WIN32)
#  include <windows.h>
#endif

namespace {

using standin::lumox::Call;
using testsupport::environmentOf;
using testsupport::environmentValue;
using testsupport::EnvironmentSeen;
using testsupport::seenEveryWay;
using testsupport::setEnvironmentValue;
using Value = std::optional<std::string>;

class EnvironmentReading : public ::testing::Test {
protected:
  void SetUp() override {
    standin::lumox::reset();
    standin::lumox::setInitMode(standin::lumox::InitMode::Succeed);
  }
  void TearDown() override {
    setEnvironmentValue("DELIGHT", delightBefore);
    setEnvironmentValue("DELIGHT_CONF", confBefore);
    standin::lumox::reset();
  }

  const Value delightBefore = environmentValue("DELIGHT");
  const Value confBefore = environmentValue("DELIGHT_CONF");
};

TEST_F(EnvironmentReading, AtInitialisationAndAtTheFirstSceneCallAfterIt) {
  struct Step {
    const char* what;
    Value delight;
    Value conf;
    std::function<void()> call;
    std::map<std::string, EnvironmentSeen> seen;  // empty: nothing read
  };
  const Step steps[] = {
      {"initialisation", "/at/init", std::nullopt, [] { Lumox_initLumoxRenderMan(); },
       seenEveryWay({{"DELIGHT", "/at/init"}, {"DELIGHT_CONF", std::nullopt}})},
      {"first scene call", "/at/scene", "/etc/renderer.conf", [] { LxTransformBegin(); },
       seenEveryWay({{"DELIGHT", "/at/scene"}, {"DELIGHT_CONF", "/etc/renderer.conf"}})},
      {"second scene call", "/later", std::nullopt, [] { LxTransformEnd(); }, {}},
      {"initialisation again", std::nullopt, "/etc/again.conf", [] { Lumox_initLumoxRenderMan(); },
       seenEveryWay({{"DELIGHT", std::nullopt}, {"DELIGHT_CONF", "/etc/again.conf"}})},
      {"first scene call after it", "/home", std::nullopt, [] { LxTransformBegin(); },
       seenEveryWay({{"DELIGHT", "/home"}, {"DELIGHT_CONF", std::nullopt}})},
      {"after a reset", "/reset", std::nullopt,
       [] {
         standin::lumox::reset();
         LxTransformEnd();
       },
       seenEveryWay({{"DELIGHT", "/reset"}, {"DELIGHT_CONF", std::nullopt}})},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    setEnvironmentValue("DELIGHT", step.delight);
    setEnvironmentValue("DELIGHT_CONF", step.conf);
    standin::lumox::clearTranscript();
    step.call();
    const std::vector<Call> calls = standin::lumox::transcript();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(environmentOf(calls.front()), step.seen);
  }
}

#if defined(_WIN32)
// The C runtime keeps a table of its own: a variable set in the process's
// environment block alone reaches only the second way of reading.
TEST_F(EnvironmentReading, TheRuntimesTableAndTheProcessBlockAreReadApart) {
  setEnvironmentValue("DELIGHT", "/runtime/and/block");
  setEnvironmentValue("DELIGHT_CONF", std::nullopt);
  ASSERT_TRUE(SetEnvironmentVariableA("DELIGHT", "/block/only"));
  ASSERT_TRUE(SetEnvironmentVariableA("DELIGHT_CONF", "/etc/block.conf"));
  standin::lumox::clearTranscript();
  Lumox_initLumoxRenderMan();
  const std::vector<Call> calls = standin::lumox::transcript();
  ASSERT_EQ(calls.size(), 1u);
  const std::map<std::string, EnvironmentSeen> expected = {
      {"getenv", {{"DELIGHT", "/runtime/and/block"}, {"DELIGHT_CONF", std::nullopt}}},
      {"GetEnvironmentVariableA", {{"DELIGHT", "/block/only"}, {"DELIGHT_CONF", "/etc/block.conf"}}},
  };
  EXPECT_EQ(environmentOf(calls.front()), expected);
  ASSERT_TRUE(SetEnvironmentVariableA("DELIGHT_CONF", nullptr));
}
#endif

}  // namespace
