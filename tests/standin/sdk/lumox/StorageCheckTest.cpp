// The stand-in renderer's storage check: what a caller changes or releases
// before its transform scope ends shows in that LxTransformEnd's record.
#include <standin/lumox/Transcript.h>

#include "support/Transcript.h"

#include <gmock/gmock.h>

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using standin::lumox::Call;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A caller's declaration storage, laid out as a light's: an exported input's
// texts and cell, then values of each fixed type. Pointers into it are taken
// once, so it stays where it was made.
struct Storage {
  Storage() {
    cell = name.c_str();
    tokens = {declaration.c_str(), "int samples", "float exposure", "color color0"};
    values = {&cell, &samples, &exposure, color};
  }
  Storage(const Storage&) = delete;
  Storage& operator=(const Storage&) = delete;

  int count() const { return static_cast<int>(tokens.size()); }

  std::string declaration = "string _col";
  std::string name = "Plate1";
  const char* cell = nullptr;
  std::int32_t samples = 4;
  float exposure = 0.5f;
  float color[3] = {1.0f, 1.0f, 1.0f};
  std::array<LxToken, 4> tokens{};
  std::array<LxPointer, 4> values{};
};

class StorageCheck : public ::testing::Test {
protected:
  void SetUp() override {
    standin::lumox::reset();
    standin::lumox::setInitMode(standin::lumox::InitMode::Succeed);
    Lumox_initLumoxRenderMan();
    standin::lumox::setStorageCheck(true);
  }
  void TearDown() override { standin::lumox::reset(); }

  // What the last LxTransformEnd recorded as changed.
  static std::vector<std::string> changedAtLastEnd() {
    const std::vector<Call> calls = standin::lumox::transcript();
    for (auto call = calls.rbegin(); call != calls.rend(); ++call) {
      if (call->function == "LxTransformEnd") {
        return call->changed;
      }
    }
    ADD_FAILURE() << "no LxTransformEnd recorded";
    return {};
  }
};

TEST_F(StorageCheck, EachKindOfChangeBeforeTheScopeEndsIsRecorded) {
  // Equal contents at other addresses.
  const std::string elsewhere = "Plate1";
  const std::string otherToken = "int samples";
  const std::int32_t otherInt = 4;
  struct Case {
    const char* what;
    std::function<void(Storage&)> change;
    std::vector<std::string> changed;
  };
  const Case cases[] = {
      {"nothing", [](Storage&) {}, {}},
      {"an int", [](Storage& s) { s.samples = 1515870810; },
       {"LxLightSourceV entry 1 \"int samples\": the value was 4, reads 1515870810 now"}},
      {"a float", [](Storage& s) { s.exposure = 2.0f; },
       {"LxLightSourceV entry 2 \"float exposure\": the value was 0.5, reads 2 now"}},
      {"a color's last component", [](Storage& s) { s.color[2] = 0.25f; },
       {"LxLightSourceV entry 3 \"color color0\": the value was 1 1 1, reads 1 1 0.25 now"}},
      {"a float's sign alone", [](Storage& s) { s.exposure = -0.5f; },
       {"LxLightSourceV entry 2 \"float exposure\": the value was 0.5, reads -0.5 now"}},
      {"a string's text", [](Storage& s) { s.name[0] = 'Q'; },
       {"LxLightSourceV entry 0 \"string _col\": the text was \"Plate1\", reads \"Qlate1\" now"}},
      {"a string's text cut short", [](Storage& s) { s.name[3] = '\0'; },
       {"LxLightSourceV entry 0 \"string _col\": the text was \"Plate1\", reads \"Pla\" now"}},
      // The same text at another address: the kept pointer is what the
      // renderer holds, so this is a change.
      {"a string's cell", [&](Storage& s) { s.cell = elsewhere.c_str(); },
       {"LxLightSourceV entry 0 \"string _col\": the string cell holds another pointer"}},
      {"a declaration's text", [](Storage& s) { s.declaration[8] = 'x'; },
       {"LxLightSourceV entry 0 \"string _col\": the declaration reads \"string _xol\" now"}},
      {"a token array entry", [&](Storage& s) { s.tokens[1] = otherToken.c_str(); },
       {"LxLightSourceV entry 1 \"int samples\": the token array holds another pointer"}},
      {"a value array entry", [&](Storage& s) { s.values[1] = &otherInt; },
       {"LxLightSourceV entry 1 \"int samples\": the value array holds another pointer"}},
      {"two entries", [](Storage& s) { s.samples = 5; s.exposure = 1.0f; },
       {"LxLightSourceV entry 1 \"int samples\": the value was 4, reads 5 now",
        "LxLightSourceV entry 2 \"float exposure\": the value was 0.5, reads 1 now"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Storage storage;
    standin::lumox::clearTranscript();
    LxTransformBegin();
    LxLightSourceV("ovLumoxIndirect", storage.count(), storage.tokens.data(), storage.values.data());
    c.change(storage);
    LxTransformEnd();
    EXPECT_EQ(changedAtLastEnd(), c.changed);
  }
}

// The handle may go as soon as LxShader returns; the list may not.
TEST_F(StorageCheck, AShaderHandleIsNotKeptButItsListIs) {
  Storage storage;
  {
    std::string handle = "Bounce1";
    LxTransformBegin();
    LxShader("ovLumoxIndirect", handle.c_str(), storage.count(), storage.tokens.data(), storage.values.data());
    handle.assign("changed since");
  }
  storage.samples = 8;
  LxTransformEnd();
  EXPECT_THAT(changedAtLastEnd(), ElementsAre("LxShader entry 1 \"int samples\": the value was 4, reads 8 now"));
}

// Each LxTransformEnd reads the declarations of the scope it closes, and
// only those.
TEST_F(StorageCheck, NestedScopesAreCheckedEachAtItsOwnEnd) {
  Storage outer;
  Storage inner;
  LxTransformBegin();
  LxLightSourceV("outer", outer.count(), outer.tokens.data(), outer.values.data());
  LxTransformBegin();
  LxLightSourceV("inner", inner.count(), inner.tokens.data(), inner.values.data());
  outer.samples = 5;
  inner.samples = 6;
  LxTransformEnd();
  EXPECT_THAT(changedAtLastEnd(), ElementsAre("LxLightSourceV entry 1 \"int samples\": the value was 4, reads 6 now"));
  LxTransformEnd();
  EXPECT_THAT(changedAtLastEnd(), ElementsAre("LxLightSourceV entry 1 \"int samples\": the value was 4, reads 5 now"));
}

// The failure switches make the calls throw after recording themselves:
// a declaration that throws is still kept, a scope that failed to open is
// not counted, and one whose end throws is closed all the same.
TEST_F(StorageCheck, CallsThatThrowKeepTheScopesStraight) {
  struct Case {
    const char* throwing;
    std::vector<std::string> changedAtInnerEnd;
    std::vector<std::string> changedAtOuterEnd;
  };
  const std::string innerChange = "LxLightSourceV entry 1 \"int samples\": the value was 4, reads 6 now";
  const std::string outerChange = "LxLightSourceV entry 1 \"int samples\": the value was 4, reads 5 now";
  const Case cases[] = {
      {"LxLightSourceV", {innerChange}, {outerChange}},
      // The inner declaration lands in the outer scope, which the next end closes.
      {"LxTransformBegin", {outerChange, innerChange}, {}},
      {"LxTransformEnd", {innerChange}, {outerChange}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.throwing);
    Storage outer;
    Storage inner;
    standin::lumox::clearTranscript();
    LxTransformBegin();
    LxLightSourceV("outer", outer.count(), outer.tokens.data(), outer.values.data());
    standin::lumox::setThrowingFunction(c.throwing);
    try {
      LxTransformBegin();
    } catch (const std::runtime_error&) {
    }
    try {
      LxLightSourceV("inner", inner.count(), inner.tokens.data(), inner.values.data());
    } catch (const std::runtime_error&) {
    }
    outer.samples = 5;
    inner.samples = 6;
    try {
      LxTransformEnd();
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(changedAtLastEnd(), c.changedAtInnerEnd);
    standin::lumox::setThrowingFunction("");
    LxTransformEnd();
    EXPECT_EQ(changedAtLastEnd(), c.changedAtOuterEnd);
  }
}

TEST_F(StorageCheck, NothingIsKeptOutsideAScopeOrWithTheCheckOff) {
  struct Case {
    const char* what;
    std::function<void()> openScope;
  };
  const Case cases[] = {
      {"switched off inside the scope", [] {
         LxTransformBegin();
         standin::lumox::setStorageCheck(false);
       }},
      {"reset inside the scope", [] {
         LxTransformBegin();
         standin::lumox::reset();
       }},
      // A scope opened before the check was on has nothing kept.
      {"switched on inside the scope", [] {
         standin::lumox::setStorageCheck(false);
         LxTransformBegin();
         standin::lumox::setStorageCheck(true);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    standin::lumox::setStorageCheck(true);
    standin::lumox::clearTranscript();
    Storage storage;
    c.openScope();
    LxLightSourceV("ovLumoxIndirect", storage.count(), storage.tokens.data(), storage.values.data());
    storage.samples = 7;
    LxTransformEnd();
    EXPECT_THAT(changedAtLastEnd(), IsEmpty());
  }

  // A declaration made between scopes is no scope's.
  standin::lumox::setStorageCheck(true);
  Storage loose;
  LxLightSourceV("ovLumoxIndirect", loose.count(), loose.tokens.data(), loose.values.data());
  loose.samples = 7;
  LxTransformBegin();
  LxTransformEnd();
  EXPECT_THAT(changedAtLastEnd(), IsEmpty());
}

}  // namespace
