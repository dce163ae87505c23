// What a light's declaration points at stays in place and unchanged until
// its transform scope has closed, on every path: the stand-in renderer keeps
// the arrays and reads them again at LxTransformEnd. Under AddressSanitizer
// (with detect_stack_use_after_return) storage released early stops the
// program; elsewhere a value that no longer reads the same fails the case.
#include "lumoxindirect/NodeFixture.h"
#include "lumoxindirect/RecordingExporter.h"

#include "support/Transcript.h"

#include <gmock/gmock.h>

#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using standin::lumox::Call;
using testsupport::RecordingExporter;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

enum class Exporter { None, Declining, Accepting };

struct StorageCase {
  const char* name;
  bool asShader;
  Exporter exporter;
  bool declarationThrows;  // after the renderer has recorded it
};

void PrintTo(const StorageCase& c, std::ostream* out) {
  *out << c.name;
}

const StorageCase kCases[] = {
    {"LightWithoutExporter", false, Exporter::None, false},
    {"LightDeclined", false, Exporter::Declining, false},
    {"LightExported", false, Exporter::Accepting, false},
    {"LightWithoutExporterThrowing", false, Exporter::None, true},
    {"LightDeclinedThrowing", false, Exporter::Declining, true},
    {"LightExportedThrowing", false, Exporter::Accepting, true},
    {"ShaderWithoutExporter", true, Exporter::None, false},
    {"ShaderDeclined", true, Exporter::Declining, false},
    {"ShaderExported", true, Exporter::Accepting, false},
    {"ShaderWithoutExporterThrowing", true, Exporter::None, true},
    {"ShaderDeclinedThrowing", true, Exporter::Declining, true},
    {"ShaderExportedThrowing", true, Exporter::Accepting, true},
};

class EmissionStorage : public testsupport::NodeFixture, public ::testing::WithParamInterface<StorageCase> {
protected:
  void TearDown() override {
    standin::lumox::reset();
    NodeFixture::TearDown();
  }
};

TEST_P(EmissionStorage, EverythingDeclaredOutlivesTheScope) {
  const StorageCase& c = GetParam();
  graph.connect(op, 0, image);
  std::optional<RecordingExporter> exporter;
  if (c.exporter != Exporter::None) {
    exporter.emplace(c.exporter == Exporter::Accepting ? RecordingExporter::Answer::Accept
                                                       : RecordingExporter::Answer::Decline);
  }
  lumoxindirect::RenderOptions options;
  options.sampleScale = 1.0f;
  const std::string declaration = c.asShader ? "LxShader" : "LxLightSourceV";

  standin::lumox::setStorageCheck(true);
  standin::lumox::setThrowingFunction(c.declarationThrows ? declaration : "");
  standin::lumox::clearTranscript();
  lumoxindirect::InputExporter* bridge = exporter ? &*exporter : nullptr;
  if (c.declarationThrows) {
    EXPECT_THROW(light->emitLight(options, bridge, c.asShader), std::runtime_error);
  } else {
    EXPECT_TRUE(light->emitLight(options, bridge, c.asShader));
  }
  standin::lumox::setThrowingFunction("");

  const std::vector<Call> calls = standin::lumox::transcript();
  ASSERT_THAT(testsupport::functionsOf(calls), ElementsAre("LxTransformBegin", declaration, "LxTransformEnd"));
  EXPECT_THAT(calls[2].changed, IsEmpty());
  // What the check compared against is the light as declared.
  const Call& declared = calls[1];
  const bool exported = c.exporter == Exporter::Accepting;
  ASSERT_EQ(declared.parameters.size(), exported ? 9u : 8u);
  if (exported) {
    EXPECT_EQ(declared.parameters[0].text, std::optional<std::string>("Plate1"));
  }
  EXPECT_EQ(declared.parameters[exported ? 1 : 0].ints, std::vector<std::int32_t>{4});
}

INSTANTIATE_TEST_SUITE_P(EveryPath, EmissionStorage, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<StorageCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
