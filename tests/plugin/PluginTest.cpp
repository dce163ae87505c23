// The plug-in file as a host loads it: registration, the path the host
// records, the renderer library set-up it triggers, and unloading.
#include <standin/ddimage/Graph.h>
#include <standin/ddimage/Node.h>
#include <standin/ddimage/Registry.h>
#include <standin/lumox/Transcript.h>

#include <lumoxindirect/LumoxIndirectBase.h>

#include <harness/Environment.h>
#include <harness/TestPaths.h>

#include "support/Transcript.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace {

namespace fs = std::filesystem;
using standin::ddimage::PluginLibrary;
using standin::lumox::Call;
using ::testing::ElementsAre;

std::string withSlashes(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

class Plugin : public ::testing::Test {
protected:
  void SetUp() override {
    standin::lumox::reset();
    DD::Image::Op::print_name_cb = standin::ddimage::printNodeName;
  }
  void TearDown() override { standin::lumox::reset(); }
};

TEST_F(Plugin, RegistersTheNodeClassAndGetsItsPathFilledIn) {
  ASSERT_EQ(standin::ddimage::findDescription("LumoxIndirect"), nullptr);
  {
    PluginLibrary plugin(testsupport::pluginFile().string());
    EXPECT_THAT(plugin.classes(), ElementsAre("LumoxIndirect"));
    const auto* description = standin::ddimage::findDescription("LumoxIndirect");
    ASSERT_NE(description, nullptr);
    ASSERT_NE(description->path, nullptr);
    EXPECT_EQ(std::string(description->path), plugin.path());
    EXPECT_TRUE(fs::equivalent(plugin.path(), testsupport::pluginFile()));
#if defined(_WIN32)
    EXPECT_NE(plugin.path().find('\\'), std::string::npos) << "Windows reports backslashes: " << plugin.path();
    EXPECT_EQ(plugin.path().find('/'), std::string::npos) << plugin.path();
#endif
  }
  EXPECT_EQ(standin::ddimage::findDescription("LumoxIndirect"), nullptr) << "unloading unregisters the class";
}

TEST_F(Plugin, FirstNodeSetsTheLibraryUpFromWhereThePluginIs) {
  PluginLibrary plugin(testsupport::pluginFile().string());
  standin::ddimage::Graph graph;
  DD::Image::Op* op = graph.create("LumoxIndirect");
  auto* light = dynamic_cast<lumoxindirect::LumoxIndirectBase*>(op);
  ASSERT_NE(light, nullptr) << "the bridge's interface is reachable across the module boundary";

  const auto calls = standin::lumox::transcript();
  ASSERT_THAT(testsupport::functionsOf(calls), ElementsAre("Lumox_initPath", "Lumox_initLumoxRenderMan", "Lumox_homeDir"));
  const std::string expected = withSlashes((testsupport::buildRoot() / "bin").string()) + "/Lumox.dll";
  EXPECT_EQ(calls[0].text, std::optional<std::string>(expected));
  EXPECT_TRUE(calls[1].result) << "the build tree is laid out like an install";

  // Initialised: later nodes cost the library nothing.
  standin::lumox::clearTranscript();
  graph.create("LumoxIndirect");
  graph.create("LumoxIndirect");
  EXPECT_TRUE(standin::lumox::transcript().empty());

  lumoxindirect::RenderOptions options;
  standin::lumox::clearTranscript();
  EXPECT_TRUE(light->emitLight(options, nullptr, false));
  EXPECT_THAT(testsupport::functionsOf(standin::lumox::transcript()),
              ElementsAre("LxTransformBegin", "LxLightSourceV", "LxTransformEnd"));
}

// The renderer's variables as the library itself finds them: the user's own
// at initialisation, before the loader has touched them; by the first scene
// call, DELIGHT is the library's home and DELIGHT_CONF is gone. On Windows
// the C runtime's table and the process's environment block both say so.
TEST_F(Plugin, TheLibraryFindsItsEnvironmentSetByItsFirstSceneCall) {
  const std::optional<std::string> delightBefore = testsupport::environmentValue("DELIGHT");
  const std::optional<std::string> confBefore = testsupport::environmentValue("DELIGHT_CONF");
  testsupport::setEnvironmentValue("DELIGHT", "/user/renderer");
  testsupport::setEnvironmentValue("DELIGHT_CONF", "/user/renderer.conf");
  std::vector<Call> calls;
  {
    PluginLibrary plugin(testsupport::pluginFile().string());
    standin::ddimage::Graph graph;
    auto* light = dynamic_cast<lumoxindirect::LumoxIndirectBase*>(graph.create("LumoxIndirect"));
    ASSERT_NE(light, nullptr);
    lumoxindirect::RenderOptions options;
    light->emitLight(options, nullptr, false);
    calls = standin::lumox::transcript();
  }
  testsupport::setEnvironmentValue("DELIGHT", delightBefore);
  testsupport::setEnvironmentValue("DELIGHT_CONF", confBefore);

  ASSERT_THAT(testsupport::functionsOf(calls), ElementsAre("Lumox_initPath", "Lumox_initLumoxRenderMan", "Lumox_homeDir",
                                                           "LxTransformBegin", "LxLightSourceV", "LxTransformEnd"));
  EXPECT_EQ(testsupport::environmentOf(calls[1]),
            testsupport::seenEveryWay({{"DELIGHT", "/user/renderer"}, {"DELIGHT_CONF", "/user/renderer.conf"}}));
  EXPECT_EQ(testsupport::environmentOf(calls[3]),
            testsupport::seenEveryWay({{"DELIGHT", standin::lumox::installRoot()}, {"DELIGHT_CONF", std::nullopt}}));
}

TEST_F(Plugin, UnloadingCallsNothingInTheLibraryAndReloadingStartsAfresh) {
  {
    PluginLibrary plugin(testsupport::pluginFile().string());
    standin::ddimage::Graph graph;
    graph.create("LumoxIndirect");
    standin::lumox::clearTranscript();
  }
  EXPECT_TRUE(standin::lumox::transcript().empty()) << "teardown must not call the renderer library";

  PluginLibrary again(testsupport::pluginFile().string());
  standin::ddimage::Graph graph;
  graph.create("LumoxIndirect");
  EXPECT_THAT(testsupport::functionsOf(standin::lumox::transcript()),
              ElementsAre("Lumox_initPath", "Lumox_initLumoxRenderMan", "Lumox_homeDir"));
}

TEST_F(Plugin, CopiedToAFolderOfTheWrongShapeItDoesNotInitialise) {
  testsupport::TemporaryDirectory tmp;
  const fs::path elsewhere = tmp.path() / "loose" / testsupport::pluginFile().filename();
  fs::create_directories(elsewhere.parent_path());
  fs::copy_file(testsupport::pluginFile(), elsewhere);
  {
    PluginLibrary plugin(elsewhere.string());
    standin::ddimage::Graph graph;
    graph.create("LumoxIndirect");
    graph.create("LumoxIndirect");
    const auto calls = standin::lumox::transcript();
    ASSERT_THAT(testsupport::functionsOf(calls), ElementsAre("Lumox_initPath", "Lumox_initLumoxRenderMan", "Lumox_homeDir",
                                              "Lumox_initPath", "Lumox_initLumoxRenderMan", "Lumox_homeDir"));
    const std::string expected = withSlashes(tmp.path().string()) + "/bin/Lumox.dll";
    EXPECT_EQ(calls[0].text, std::optional<std::string>(expected));
    EXPECT_FALSE(calls[1].result);
    EXPECT_EQ(calls[3].text, calls[0].text);
  }
}

TEST_F(Plugin, ARelativeFileNameIsRecordedAsAnAbsolutePath) {
  const fs::path before = fs::current_path();
  fs::current_path(testsupport::buildRoot());
  {
    PluginLibrary plugin((fs::path("plugins") / testsupport::pluginFile().filename()).string());
    fs::current_path(before);
    EXPECT_TRUE(fs::path(plugin.path()).is_absolute()) << plugin.path();
    standin::ddimage::Graph graph;
    graph.create("LumoxIndirect");
    const auto calls = standin::lumox::transcript();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_TRUE(calls[1].result) << "set up from " << calls[0].text.value_or("(null)");
  }
  fs::current_path(before);
}

TEST_F(Plugin, ANodeWhoseSetUpThrowsIsNotCreated) {
  PluginLibrary plugin(testsupport::pluginFile().string());
  standin::ddimage::Graph graph;
  standin::lumox::setThrowingFunction("Lumox_initLumoxRenderMan");
  EXPECT_THROW(graph.create("LumoxIndirect"), std::runtime_error);
  EXPECT_TRUE(graph.ops().empty());
  standin::lumox::setThrowingFunction("");
  EXPECT_NO_THROW(graph.create("LumoxIndirect"));
}

}  // namespace
