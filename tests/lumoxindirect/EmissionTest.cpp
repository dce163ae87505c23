#include "lumoxindirect/NodeFixture.h"
#include "lumoxindirect/RecordingExporter.h"

#include <DDImage/Iop.h>

#include "support/Transcript.h"

#include <gmock/gmock.h>

#include <stdexcept>

namespace {

using standin::lumox::Call;
using standin::lumox::Parameter;
using testsupport::RecordingExporter;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const std::vector<std::string> kFixedDeclarations = {
    "int samples", "color color0", "float exposure", "float decay",
    "float bias",  "float maxdist", "int maxDdepth",  "int hitmode",
};

std::vector<std::string> declarations(const Call& call) {
  std::vector<std::string> texts;
  for (const Parameter& p : call.parameters) {
    texts.push_back(p.declaration.value_or("<null>"));
  }
  return texts;
}

const Parameter& parameter(const Call& call, const std::string& declaration) {
  for (const Parameter& p : call.parameters) {
    if (p.declaration == declaration) {
      return p;
    }
  }
  throw std::runtime_error("no parameter " + declaration);
}

// The exported inputs of a declaration: each string parameter's declaration
// and the name it carries.
std::vector<std::pair<std::string, std::string>> exportedInputs(const Call& call) {
  std::vector<std::pair<std::string, std::string>> found;
  for (const Parameter& p : call.parameters) {
    if (p.declaration && p.declaration->rfind("string _", 0) == 0) {
      found.emplace_back(*p.declaration, p.text.value_or("<no text>"));
    }
  }
  return found;
}

class Emission : public testsupport::NodeFixture {
protected:
  // Emits and returns the one declaration call of the transcript.
  Call emit(lumoxindirect::InputExporter* exporter, bool asShader = false, float sampleScale = 1.0f) {
    options.sampleScale = sampleScale;
    standin::lumox::clearTranscript();
    EXPECT_TRUE(light->emitLight(options, exporter, asShader));
    const std::vector<Call> calls = standin::lumox::transcript();
    EXPECT_EQ(calls.size(), 3u);
    if (calls.size() != 3u) {
      throw std::runtime_error("unexpected call sequence");
    }
    EXPECT_EQ(calls[1].count, static_cast<int>(calls[1].parameters.size()));
    return calls[1];
  }

  // Image nodes Plate2, Plate3, ... on inputs 1 to `count` - 1, beside
  // Plate1 on input 0.
  void connectImages(int count) {
    graph.connect(op, 0, image);
    for (int i = 1; i < count; ++i) {
      DD::Image::Op* more = graph.find("Plate" + std::to_string(i + 1));
      if (more == nullptr) {
        more = graph.create("Constant", "Plate" + std::to_string(i + 1));
      }
      graph.connect(op, i, more);
    }
  }

  lumoxindirect::RenderOptions options;
};

TEST_F(Emission, WithoutAnExporterTheInputsAreNeverConsulted) {
  graph.connect(op, 0, image);
  hostCalls().clear();
  const Call call = emit(nullptr);
  EXPECT_EQ(declarations(call), kFixedDeclarations);
  EXPECT_FALSE(hostCalled("inputs()"));
  EXPECT_FALSE(hostCalled("input(0)"));
}

TEST_F(Emission, InputsThatCannotBeExportedAddNothing) {
  struct Case {
    const char* what;
    DD::Image::Op* input;
    RecordingExporter::Answer answer;
    bool exporterAsked;
  };
  const Case cases[] = {
      {"nothing connected", nullptr, RecordingExporter::Answer::Accept, false},
      {"a 3D node that is no image", card, RecordingExporter::Answer::Accept, false},
      {"a declined image", image, RecordingExporter::Answer::Decline, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    graph.connect(op, 0, c.input);
    RecordingExporter exporter(c.answer);
    int namesPrinted = 0;
    static int* counter = nullptr;
    counter = &namesPrinted;
    DD::Image::Op::print_name_cb = [](std::ostream& out, const DD::Image::Op* o) {
      ++*counter;
      standin::ddimage::printNodeName(out, o);
    };
    const Call call = emit(&exporter);
    EXPECT_EQ(declarations(call), kFixedDeclarations);
    EXPECT_EQ(!exporter.asked.empty(), c.exporterAsked);
    EXPECT_EQ(namesPrinted, 0) << "no name text is formed for an input that is not exported";
    EXPECT_EQ(exporter.bridgeHookCalls, 0);
    DD::Image::Op::print_name_cb = standin::ddimage::printNodeName;
  }
}

TEST_F(Emission, AnAcceptedImageComesFirstAsAStringNamingIt) {
  graph.connect(op, 0, image);
  RecordingExporter exporter(RecordingExporter::Answer::Accept);
  const Call call = emit(&exporter);

  std::vector<std::string> expected = {"string _col"};
  expected.insert(expected.end(), kFixedDeclarations.begin(), kFixedDeclarations.end());
  EXPECT_EQ(declarations(call), expected);
  EXPECT_EQ(call.count, 9);
  // The value is a cell holding the pointer to the image's name text.
  const Parameter& first = call.parameters.front();
  ASSERT_TRUE(first.text.has_value());
  EXPECT_EQ(*first.text, "Plate1");

  ASSERT_EQ(exporter.asked.size(), 1u);
  EXPECT_EQ(exporter.asked[0], dynamic_cast<DD::Image::Iop*>(image));
  EXPECT_EQ(exporter.flags[0], std::make_pair(true, false));
}

// A host may connect more inputs than the node asks for; each one exported
// is labelled as the node labels it (nothing past input 0).
TEST_F(Emission, EveryExportedInputUpToEightInInputOrder) {
  using Exported = std::vector<std::pair<std::string, std::string>>;
  struct Case {
    int images;
    std::size_t asked;
    Exported exported;
  };
  Exported eight = {{"string _col", "Plate1"}};
  for (int i = 2; i <= 8; ++i) {
    eight.emplace_back("string _", "Plate" + std::to_string(i));
  }
  const Case cases[] = {
      {2, 2, {{"string _col", "Plate1"}, {"string _", "Plate2"}}},
      {8, 8, eight},
      {9, 8, eight},
      {12, 8, eight},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.images) + " images");
    connectImages(c.images);
    RecordingExporter exporter(RecordingExporter::Answer::Accept);
    const Call call = emit(&exporter);
    EXPECT_EQ(exportedInputs(call), c.exported);
    EXPECT_EQ(call.parameters.size(), c.exported.size() + kFixedDeclarations.size());
    EXPECT_EQ(exporter.asked.size(), c.asked) << "no image is offered once eight are exported";
  }
}

// The bridge may change the connections while it exports: the count is asked
// again before each pass, so no input past the current last one is read.
TEST_F(Emission, InputsAreCountedAgainBeforeEachPass) {
  using Exported = std::vector<std::pair<std::string, std::string>>;
  struct Case {
    const char* what;
    int imagesBefore;
    int imagesAfterFirstExport;
    Exported exported;
  };
  const Case cases[] = {
      {"one connected while exporting", 1, 2, {{"string _col", "Plate1"}, {"string _", "Plate2"}}},
      {"two disconnected while exporting", 3, 1, {{"string _col", "Plate1"}}},
  };
  connectImages(3);  // the images, all made up front
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    standin::ddimage::nodeOf(op).inputs.clear();
    connectImages(c.imagesBefore);
    RecordingExporter exporter(RecordingExporter::Answer::Accept);
    exporter.onAsked = [&](std::size_t asked) {
      if (asked == 1) {
        standin::ddimage::nodeOf(op).inputs.clear();
        connectImages(c.imagesAfterFirstExport);
      }
    };
    hostCalls().clear();
    const Call call = emit(&exporter);
    EXPECT_EQ(exportedInputs(call), c.exported);
    for (int i = c.imagesAfterFirstExport; i < 3; ++i) {
      EXPECT_FALSE(hostCalled("input(" + std::to_string(i) + ")")) << "input " << i << " is gone";
    }
  }
}

TEST_F(Emission, AnImageNamedByTheHostsCallbackNotByPrintName) {
  graph.connect(op, 0, image);
  DD::Image::Op::print_name_cb = [](std::ostream& out, const DD::Image::Op* o) {
    out << "cb:" << standin::ddimage::nodeOf(o).name;
  };
  RecordingExporter exporter(RecordingExporter::Answer::Accept);
  EXPECT_EQ(emit(&exporter).parameters.front().text, std::optional<std::string>("cb:Plate1"));
}

TEST_F(Emission, WithoutANameCallbackTheImageNameIsEmpty) {
  graph.connect(op, 0, image);
  DD::Image::Op::print_name_cb = nullptr;
  RecordingExporter exporter(RecordingExporter::Answer::Accept);
  EXPECT_EQ(emit(&exporter).parameters.front().text, std::optional<std::string>(""));
}

TEST_F(Emission, LightSourceOrShaderBetweenOneTransformPair) {
  standin::lumox::clearTranscript();
  light->emitLight(options, nullptr, false);
  EXPECT_THAT(testsupport::functionsOf(standin::lumox::transcript()),
              ElementsAre("LxTransformBegin", "LxLightSourceV", "LxTransformEnd"));

  standin::lumox::clearTranscript();
  light->emitLight(options, nullptr, true);
  const auto calls = standin::lumox::transcript();
  EXPECT_THAT(testsupport::functionsOf(calls), ElementsAre("LxTransformBegin", "LxShader", "LxTransformEnd"));
  EXPECT_EQ(calls[1].text, std::optional<std::string>("ovLumoxIndirect"));
}

TEST_F(Emission, TheShaderHandleIsTheNodesOwnPrintName) {
  // Tell the two naming facilities apart: the handle must not come from the callback.
  DD::Image::Op::print_name_cb = [](std::ostream& out, const DD::Image::Op*) { out << "from-callback"; };
  const Call call = emit(nullptr, true);
  EXPECT_EQ(call.handle, std::optional<std::string>("Bounce1"));
  EXPECT_EQ(call.text, std::optional<std::string>("ovLumoxIndirect"));
  EXPECT_TRUE(hostCalled("print_name"));
}

TEST_F(Emission, NewNodeEmitsItsDefaults) {
  const Call call = emit(nullptr, false, 1.0f);
  EXPECT_EQ(call.text, std::optional<std::string>("ovLumoxIndirect"));
  EXPECT_EQ(parameter(call, "int samples").ints, std::vector<std::int32_t>{4});
  EXPECT_EQ(parameter(call, "color color0").floats, (std::vector<float>{1, 1, 1}));
  EXPECT_EQ(parameter(call, "float exposure").floats, std::vector<float>{0});
  EXPECT_EQ(parameter(call, "float decay").floats, std::vector<float>{2});
  EXPECT_EQ(parameter(call, "float bias").floats, std::vector<float>{0.1f});
  EXPECT_EQ(parameter(call, "float maxdist").floats, std::vector<float>{10});
  EXPECT_EQ(parameter(call, "int maxDdepth").ints, std::vector<std::int32_t>{1});
  EXPECT_EQ(parameter(call, "int hitmode").ints, std::vector<std::int32_t>{1});
}

TEST_F(Emission, SampleScaleReachesTheCount) {
  struct Case {
    int samples;
    float scale;
    int expected;
  };
  const Case cases[] = {{0, 3.0f, 0}, {4, 2.0f, 8}, {3, 0.5f, 2}, {7, 0.5f, 4}, {4, 0.1f, 1}, {4, -1.0f, -3}};
  for (const Case& c : cases) {
    control("samples").setInteger(c.samples);
    EXPECT_EQ(parameter(emit(nullptr, false, c.scale), "int samples").ints, std::vector<std::int32_t>{c.expected})
        << c.samples << " x " << c.scale;
  }
}

TEST_F(Emission, ValuesPointAtTheNodesOwnMembers) {
  const Call call = emit(nullptr);
  EXPECT_EQ(parameter(call, "color color0").address, control("color").pointer());
  EXPECT_EQ(parameter(call, "float exposure").address, control("exposure").pointer());
  EXPECT_EQ(parameter(call, "float decay").address, control("falloff").pointer());
  EXPECT_EQ(parameter(call, "float bias").address, control("bias").pointer());
  EXPECT_EQ(parameter(call, "float maxdist").address, control("max_distance").pointer());
  EXPECT_EQ(parameter(call, "int maxDdepth").address, control("bounces").pointer());
  // The count is computed per call, not read from the member.
  EXPECT_NE(parameter(call, "int samples").address, control("samples").pointer());
}

TEST_F(Emission, RepeatedCallsAreIdentical) {
  graph.connect(op, 0, image);
  RecordingExporter exporter(RecordingExporter::Answer::Accept);
  for (const bool asShader : {false, true}) {
    const Call first = emit(&exporter, asShader, 1.5f);
    const Call second = emit(&exporter, asShader, 1.5f);
    EXPECT_EQ(declarations(first), declarations(second));
    ASSERT_EQ(first.parameters.size(), second.parameters.size());
    for (std::size_t k = 0; k < first.parameters.size(); ++k) {
      EXPECT_EQ(first.parameters[k].ints, second.parameters[k].ints);
      EXPECT_EQ(first.parameters[k].floats, second.parameters[k].floats);
      EXPECT_EQ(first.parameters[k].text, second.parameters[k].text);
    }
    EXPECT_EQ(first.handle, second.handle);
  }
}

TEST_F(Emission, AThrowingCollaboratorLeavesTheScopeClosed) {
  graph.connect(op, 0, image);
  struct Case {
    const char* what;
    const char* throwingFunction;
    RecordingExporter::Answer answer;
    bool asShader;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"exporter", "", RecordingExporter::Answer::Throw, false, {"LxTransformBegin", "LxTransformEnd"}},
      {"light source", "LxLightSourceV", RecordingExporter::Answer::Accept, false,
       {"LxTransformBegin", "LxLightSourceV", "LxTransformEnd"}},
      {"shader", "LxShader", RecordingExporter::Answer::Accept, true,
       {"LxTransformBegin", "LxShader", "LxTransformEnd"}},
      // Closing the scope is what failed: it is not tried a second time.
      {"transform end", "LxTransformEnd", RecordingExporter::Answer::Accept, false,
       {"LxTransformBegin", "LxLightSourceV", "LxTransformEnd"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    standin::lumox::setThrowingFunction(c.throwingFunction);
    standin::lumox::clearTranscript();
    RecordingExporter exporter(c.answer);
    EXPECT_THROW(light->emitLight(options, &exporter, c.asShader), std::runtime_error);
    EXPECT_EQ(testsupport::functionsOf(standin::lumox::transcript()), c.expected);
  }
  standin::lumox::setThrowingFunction("");
}

// Closing the scope while the bridge's exception unwinds fails too: the
// bridge still gets its own exception, not the renderer's.
TEST_F(Emission, TheFirstExceptionIsTheOneThatPassesOut) {
  graph.connect(op, 0, image);
  standin::lumox::setThrowingFunction("LxTransformEnd");
  RecordingExporter exporter(RecordingExporter::Answer::Throw);
  try {
    light->emitLight(options, &exporter, false);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "exporter failed");
  }
  standin::lumox::setThrowingFunction("");
  EXPECT_THAT(testsupport::functionsOf(standin::lumox::transcript()), ElementsAre("LxTransformBegin", "LxTransformEnd"));
}

TEST_F(Emission, AThrowingHostNameLeavesTheScopeClosed) {
  graph.connect(op, 0, image);
  DD::Image::Op::print_name_cb = [](std::ostream&, const DD::Image::Op*) { throw std::runtime_error("host failed"); };
  RecordingExporter exporter(RecordingExporter::Answer::Accept);
  EXPECT_THROW(light->emitLight(options, &exporter, false), std::runtime_error);
  EXPECT_THAT(testsupport::functionsOf(standin::lumox::transcript()), ElementsAre("LxTransformBegin", "LxTransformEnd"));
}

TEST_F(Emission, AFailedTransformBeginIsNotClosed) {
  standin::lumox::setThrowingFunction("LxTransformBegin");
  EXPECT_THROW(light->emitLight(options, nullptr, false), std::runtime_error);
  standin::lumox::setThrowingFunction("");
  EXPECT_THAT(testsupport::functionsOf(standin::lumox::transcript()), ElementsAre("LxTransformBegin"));
}

TEST_F(Emission, EmittingChangesNothingInTheNode) {
  const int before = control("samples").integer();
  emit(nullptr, false, 3.0f);
  EXPECT_EQ(control("samples").integer(), before);
}

}  // namespace
