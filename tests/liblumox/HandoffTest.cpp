// The loader as a node's construction drives it. The loader is one per
// process and, once initialised, stays so: every case here keeps it failing,
// except the one that runs in a process of its own.
#include <liblumox/Handoff.h>
#include <liblumox/SetEnv.h>

#include <standin/lumox/Transcript.h>

#include <harness/Environment.h>
#include "support/FreshProcess.h"

#include "support/Transcript.h"

#include <gmock/gmock.h>

#include <stdexcept>

namespace {

using standin::lumox::Call;
using testsupport::childSees;
using testsupport::environmentValue;
using ::testing::ElementsAre;

class Handoff : public ::testing::Test {
protected:
  void SetUp() override {
    standin::lumox::reset();
    standin::lumox::setInitMode(standin::lumox::InitMode::Fail);
    standin::lumox::setHomeDir(standin::lumox::HomeDirMode::Text, "/opt/renderer");
  }
  void TearDown() override { standin::lumox::reset(); }

  // The text the library was told for a path field as the host filled it.
  std::optional<std::string> libraryPathFor(const char* hostPath) {
    standin::lumox::clearTranscript();
    liblumox::handOff(hostPath);
    const auto calls = standin::lumox::transcript();
    EXPECT_THAT(testsupport::functionsOf(calls), ElementsAre("Lumox_initPath", "Lumox_initLumoxRenderMan", "Lumox_homeDir"));
    return calls.empty() ? std::nullopt : calls.front().text;
  }
};

TEST_F(Handoff, LibraryIsLookedForInBinBesideThePluginsFolder) {
  struct Case {
    const char* hostPath;
    const char* libraryPath;
  };
  const Case cases[] = {
      {"root/plugins/x.dll", "root/bin/Lumox.dll"},
#if defined(_WIN32)
      {"C:\\suite\\plugins\\x.dll", "C:/suite/bin/Lumox.dll"},
      {"C:\\suite/plugins\\x.dll", "C:/suite/bin/Lumox.dll"},
      {"\\\\server\\share\\suite\\plugins\\x.dll", "//server/share/suite/bin/Lumox.dll"},
#else
      // A backslash is part of a name here, not a separator.
      {"/opt/in\\stall/plugins/x.so", "/opt/in\\stall/bin/Lumox.dll"},
      {"/opt/suite/plugins\\x.so", "/opt/bin/Lumox.dll"},
      {"C:\\suite\\plugins\\x.dll", "bin/Lumox.dll"},
#endif
      {"/plugins/x.dll", "/bin/Lumox.dll"},
      {"root/plugins/", "root/bin/Lumox.dll"},
      {"a//b/x.dll", "a//bin/Lumox.dll"},
      {"plugins/x.dll", "bin/Lumox.dll"},
      {"/x.dll", "bin/Lumox.dll"},
      {"x.dll", "bin/Lumox.dll"},
      {"", "bin/Lumox.dll"},
      {nullptr, "bin/Lumox.dll"},
      {"/opt/suite 2/plugins/LumoxIndirect.so", "/opt/suite 2/bin/Lumox.dll"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(libraryPathFor(c.hostPath), std::optional<std::string>(c.libraryPath))
        << (c.hostPath != nullptr ? c.hostPath : "(null)");
  }
}

TEST_F(Handoff, WhileInitialisationFailsEveryConstructionRetriesTheSameWay) {
  const auto first = libraryPathFor("/suite/plugins/x.so");
  const auto second = libraryPathFor("/suite/plugins/x.so");
  EXPECT_EQ(first, second);
  const auto calls = standin::lumox::transcript();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_FALSE(calls[1].result);
}

TEST_F(Handoff, EnvironmentIsSetEvenWhenInitialisationFails) {
  ASSERT_EQ(liblumox::setEnv("DELIGHT_CONF", "/etc/old.conf"), 0);
  ASSERT_EQ(liblumox::setEnv("DELIGHT", "/old/home"), 0);
  liblumox::handOff("/suite/plugins/x.so");
  EXPECT_EQ(environmentValue("DELIGHT_CONF"), std::nullopt);
  EXPECT_EQ(environmentValue("DELIGHT"), std::optional<std::string>("/opt/renderer"));
  EXPECT_TRUE(childSees("DELIGHT", std::string("/opt/renderer")));
  EXPECT_TRUE(childSees("DELIGHT_CONF", std::nullopt));

  // Removing a variable that was never set is no error either.
  liblumox::handOff("/suite/plugins/x.so");
  EXPECT_EQ(environmentValue("DELIGHT_CONF"), std::nullopt);
}

TEST_F(Handoff, HomeDirectoryDecidesDelight) {
  const std::string longHome = "/very/long/home/" + std::string(400, 'h');
  struct Case {
    const char* what;
    standin::lumox::HomeDirMode mode;
    std::string text;
    std::optional<std::string> delight;
  };
  const Case cases[] = {
      {"null", standin::lumox::HomeDirMode::Null, "", std::nullopt},
      {"empty", standin::lumox::HomeDirMode::Empty, "", std::nullopt},
      {"longer than the local entry", standin::lumox::HomeDirMode::Text, longHome, longHome},
      {"with backslashes, unchanged", standin::lumox::HomeDirMode::Text, "C:\\Renderer\\home", "C:\\Renderer\\home"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(liblumox::setEnv("DELIGHT", "/before"), 0);
    standin::lumox::setHomeDir(c.mode, c.text);
    liblumox::handOff("/suite/plugins/x.so");
    EXPECT_EQ(environmentValue("DELIGHT"), c.delight);
  }
}

TEST_F(Handoff, AThrowingHomeDirectoryLeavesDelightAsItWas) {
  ASSERT_EQ(liblumox::setEnv("DELIGHT", "/before"), 0);
  ASSERT_EQ(liblumox::setEnv("DELIGHT_CONF", "/etc/old.conf"), 0);
  standin::lumox::setHomeDir(standin::lumox::HomeDirMode::Throw);
  EXPECT_NO_THROW(liblumox::handOff("/suite/plugins/x.so"));
  EXPECT_EQ(environmentValue("DELIGHT"), std::optional<std::string>("/before"));
  EXPECT_EQ(environmentValue("DELIGHT_CONF"), std::nullopt);
}

TEST_F(Handoff, ExceptionsFromSettingTheLibraryUpPassOut) {
  for (const char* function : {"Lumox_initPath", "Lumox_initLumoxRenderMan"}) {
    SCOPED_TRACE(function);
    standin::lumox::setThrowingFunction(function);
    EXPECT_THROW(liblumox::handOff("/suite/plugins/x.so"), std::runtime_error);
  }
  // The loader is still usable afterwards.
  standin::lumox::setThrowingFunction("");
  EXPECT_EQ(libraryPathFor("/suite/plugins/x.so"), std::optional<std::string>("/suite/bin/Lumox.dll"));
}

TEST_F(Handoff, OnceInitialisedLaterConstructionsDoNothing) {
  // Initialised, the loader would stay so for every later case.
  if (!testsupport::inFreshProcess()) {
    return;
  }
  standin::lumox::setInitMode(standin::lumox::InitMode::Succeed);
  liblumox::handOff("/suite/plugins/x.so");
  ASSERT_EQ(environmentValue("DELIGHT"), std::optional<std::string>("/opt/renderer"));

  standin::lumox::clearTranscript();
  ASSERT_EQ(liblumox::setEnv("DELIGHT", "/changed/since"), 0);
  ASSERT_EQ(liblumox::setEnv("DELIGHT_CONF", "/etc/kept.conf"), 0);
  standin::lumox::setInitMode(standin::lumox::InitMode::Fail);
  liblumox::handOff("/elsewhere/plugins/x.so");
  liblumox::handOff(nullptr);

  EXPECT_TRUE(standin::lumox::transcript().empty());
  EXPECT_EQ(environmentValue("DELIGHT"), std::optional<std::string>("/changed/since"));
  EXPECT_EQ(environmentValue("DELIGHT_CONF"), std::optional<std::string>("/etc/kept.conf"));
}

// A library that is not C++ may answer any byte but 0 for success: 2 counts
// as 1 does, and the set-up runs once.
TEST_F(Handoff, AnyNonZeroAnswerInitialisesOnce) {
  if (!testsupport::inFreshProcess()) {
    return;
  }
  standin::lumox::setInitMode(standin::lumox::InitMode::SucceedAsTwo);
  for (int construction = 0; construction < 3; ++construction) {
    liblumox::handOff("/suite/plugins/x.so");
  }
  const auto calls = standin::lumox::transcript();
  ASSERT_THAT(testsupport::functionsOf(calls), ElementsAre("Lumox_initPath", "Lumox_initLumoxRenderMan", "Lumox_homeDir"));
  EXPECT_TRUE(calls[1].result);
}

}  // namespace
