// The stand-in renderer's RIB: one line per call, values a RIB reader takes
// back unchanged, and a comment instead of anything it could not write.
#include <standin/lumox/RibOutput.h>
#include <standin/lumox/Transcript.h>

#include <gmock/gmock.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <vector>

namespace {

using ::testing::HasSubstr;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    result.push_back(line);
  }
  return result;
}

// The last line of a RIB text; a failure, and no line, when there is none.
std::string lastLine(const std::string& text) {
  const std::vector<std::string> all = lines(text);
  if (all.empty()) {
    ADD_FAILURE() << "no RIB written";
    return std::string();
  }
  return all.back();
}

class RibOutputTest : public ::testing::Test {
protected:
  void SetUp() override {
    standin::lumox::reset();
    standin::lumox::setInitMode(standin::lumox::InitMode::Succeed);
    Lumox_initLumoxRenderMan();
    standin::lumox::openOutput(out);
  }
  void TearDown() override {
    standin::lumox::closeOutput();
    standin::lumox::reset();
  }

  // The body of the output: the lines after the two header lines.
  std::vector<std::string> body() {
    standin::lumox::closeOutput();
    std::vector<std::string> all = lines(out.str());
    if (all.size() < 2) {
      ADD_FAILURE() << "no RIB header in: " << out.str();
      return {};
    }
    EXPECT_EQ(all[0], "##RenderMan RIB-Structure 1.1");
    EXPECT_EQ(all[1], "version 3.04");
    return std::vector<std::string>(all.begin() + 2, all.end());
  }

  std::string shaderLine(const char* token, const void* value) {
    LxToken tokens[] = {token};
    LxPointer values[] = {value};
    LxShader("s", "h", 1, tokens, values);
    const auto b = body();
    EXPECT_FALSE(b.empty());
    return b.empty() ? std::string() : b.back();
  }

  std::ostringstream out;
};

TEST_F(RibOutputTest, StringsAreQuotedAndEscaped) {
  struct Case {
    std::string bytes;
    std::string rib;
  };
  const Case cases[] = {
      {"plain", "\"plain\""},
      {"", "\"\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"C:\\dir\\file", "\"C:\\\\dir\\\\file\""},
      {"line\nbreak\ttab", "\"line\\012break\\011tab\""},
      {"\x01\x1f\x7f", "\"\\001\\037\\177\""},
      {"caf\xc3\xa9", "\"caf\xc3\xa9\""},
  };
  for (const Case& c : cases) {
    std::ostringstream text;
    standin::lumox::openOutput(text);
    const char* cell = c.bytes.c_str();
    LxToken tokens[] = {"string name"};
    LxPointer values[] = {&cell};
    // Handles go through the same writer as string values.
    LxShader("s", c.bytes.c_str(), 1, tokens, values);
    standin::lumox::closeOutput();
    EXPECT_EQ(lastLine(text.str()), "Shader \"s\" " + c.rib + " \"string name\" [" + c.rib + "]");
  }
}

TEST_F(RibOutputTest, FloatsAreTheShortestTextThatReadsBack) {
  const float cases[] = {0.1f,    1.0f,           0.0f,      -0.0f,     1.0f / 3.0f,
                         1e-8f,   3.4028235e+38f, -2.5f,     100000.0f, 1.17549435e-38f,
                         1e-45f,  123456792.0f,   0.30000001f};
  for (const float value : cases) {
    std::ostringstream text;
    standin::lumox::openOutput(text);
    LxToken tokens[] = {"float f"};
    LxPointer values[] = {&value};
    LxLightSourceV("s", 1, tokens, values);
    standin::lumox::closeOutput();
    const std::string line = lastLine(text.str());
    const auto open = line.find("\"float f\" [");
    ASSERT_NE(open, std::string::npos) << line;
    const std::string number = line.substr(open + 11, line.size() - open - 12);
    EXPECT_EQ(std::strtof(number.c_str(), nullptr), value) << number;
    EXPECT_EQ(std::signbit(std::strtof(number.c_str(), nullptr)), std::signbit(value)) << number;
    EXPECT_EQ(number.find(','), std::string::npos);
  }
}

TEST_F(RibOutputTest, EachKindOfValueIsBracketed) {
  const std::int32_t count = -3;
  const float color[3] = {1.0f, 0.5f, 0.25f};
  const float single = 2.0f;
  const char* text = "x";
  LxToken tokens[] = {"int samples", "color c", "float f", "string s"};
  LxPointer values[] = {&count, color, &single, &text};
  LxLightSourceV("ovLumoxIndirect", 4, tokens, values);
  EXPECT_THAT(body(), ::testing::ElementsAre("LightSource \"ovLumoxIndirect\" 1 \"int samples\" [-3] "
                                             "\"color c\" [1 0.5 0.25] \"float f\" [2] \"string s\" [\"x\"]"));
}

TEST_F(RibOutputTest, WhatCannotBeWrittenBecomesACommentLine) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float color[3] = {1.0f, inf, 0.0f};
  const std::int32_t one = 1;
  const char* nullText = nullptr;
  LxToken tokens[] = {"float exposure", "color color0", "matrix m", nullptr, "int n", "string s", "int hitmode"};
  LxPointer values[] = {&nan, color, &one, &one, nullptr, &nullText, &one};
  LxLightSourceV("ovLumoxIndirect", 7, tokens, values);
  const auto b = body();
  ASSERT_EQ(b.size(), 7u);
  EXPECT_THAT(b[0], ::testing::AllOf(::testing::StartsWith("# "), HasSubstr("\"float exposure\""), HasSubstr("not finite")));
  EXPECT_THAT(b[1], ::testing::AllOf(::testing::StartsWith("# "), HasSubstr("\"color color0\""), HasSubstr("not finite")));
  EXPECT_THAT(b[2], ::testing::AllOf(::testing::StartsWith("# "), HasSubstr("\"matrix m\""), HasSubstr("unknown type")));
  EXPECT_THAT(b[3], ::testing::AllOf(::testing::StartsWith("# "), HasSubstr("null declaration")));
  EXPECT_THAT(b[4], ::testing::AllOf(::testing::StartsWith("# "), HasSubstr("\"int n\""), HasSubstr("null value")));
  EXPECT_THAT(b[5], ::testing::AllOf(::testing::StartsWith("# "), HasSubstr("\"string s\""), HasSubstr("null string")));
  EXPECT_EQ(b[6], "LightSource \"ovLumoxIndirect\" 1 \"int hitmode\" [1]");
}

TEST_F(RibOutputTest, BrokenCallsAreCommentedNotFollowed) {
  LxLightSourceV("s", -1, nullptr, nullptr);
  LxLightSourceV("s", 2, nullptr, nullptr);
  LxTransformEnd();
  const auto b = body();
  ASSERT_EQ(b.size(), 5u);
  EXPECT_THAT(b[0], HasSubstr("negative parameter count"));
  EXPECT_EQ(b[1], "LightSource \"s\" 1");
  EXPECT_THAT(b[2], HasSubstr("parameter arrays missing"));
  EXPECT_EQ(b[3], "LightSource \"s\" 2");
  EXPECT_THAT(b[4], ::testing::AllOf(::testing::StartsWith("# "), HasSubstr("TransformEnd without TransformBegin")));
}

TEST_F(RibOutputTest, ScopesIndentTheirLines) {
  LxTransformBegin();
  LxTransformBegin();
  LxLightSourceV("s", 0, nullptr, nullptr);
  LxTransformEnd();
  standin::lumox::writeLine("# between");
  LxTransformEnd();
  EXPECT_THAT(body(), ::testing::ElementsAre("TransformBegin", "  TransformBegin", "    LightSource \"s\" 1",
                                             "  TransformEnd", "  # between", "TransformEnd"));
}

TEST_F(RibOutputTest, LightNumbersPastTheSequenceRangeAreStrings) {
  standin::lumox::setRecording(false);
  for (int i = 0; i < 65536; ++i) {
    LxLightSourceV("s", 0, nullptr, nullptr);
  }
  const auto b = body();
  ASSERT_EQ(b.size(), 65536u);
  EXPECT_EQ(b[0], "LightSource \"s\" 1");
  EXPECT_EQ(b[65534], "LightSource \"s\" 65535");
  EXPECT_EQ(b[65535], "LightSource \"s\" \"65536\"");
}

TEST_F(RibOutputTest, NumberingStartsAgainWithEachOutput) {
  LxLightSourceV("s", 0, nullptr, nullptr);
  std::ostringstream second;
  standin::lumox::openOutput(second);
  LxLightSourceV("s", 0, nullptr, nullptr);
  standin::lumox::closeOutput();
  EXPECT_EQ(lastLine(second.str()), "LightSource \"s\" 1");
}

// As a real library would, one that was never initialised writes no scene,
// and says which path it was given.
TEST(UninitialisedLibrary, RefusesSceneCallsUntilInitialised) {
  standin::lumox::reset();
  Lumox_initPath("/nowhere/bin/Lumox.dll");
  ASSERT_FALSE(Lumox_initLumoxRenderMan());
  std::ostringstream refused;
  standin::lumox::openOutput(refused);
  LxTransformBegin();
  LxLightSourceV("s", 0, nullptr, nullptr);
  LxShader("s", "h", 0, nullptr, nullptr);
  LxTransformEnd();
  standin::lumox::closeOutput();
  EXPECT_TRUE(standin::lumox::sceneRefused());
  EXPECT_EQ(standin::lumox::givenLibraryPath(), "/nowhere/bin/Lumox.dll");
  EXPECT_EQ(lines(refused.str()), (std::vector<std::string>{"##RenderMan RIB-Structure 1.1", "version 3.04"}));

  standin::lumox::setInitMode(standin::lumox::InitMode::Succeed);
  ASSERT_TRUE(Lumox_initLumoxRenderMan());
  std::ostringstream accepted;
  standin::lumox::openOutput(accepted);
  LxTransformBegin();
  standin::lumox::closeOutput();
  EXPECT_FALSE(standin::lumox::sceneRefused());
  EXPECT_EQ(lastLine(accepted.str()), "TransformBegin");
  standin::lumox::reset();
}

TEST_F(RibOutputTest, AnUnwritableFileIsAnError) {
  EXPECT_THROW(standin::lumox::openOutputFile("/nonexistent-folder/for/sure/out.rib"), std::runtime_error);
}

}  // namespace
