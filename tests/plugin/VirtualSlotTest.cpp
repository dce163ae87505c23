// A bridge built elsewhere reaches categories and emitLight by slot number
// alone: the plug-in's node must keep them right after LightOp's slots, in
// this order, whatever compiler built it.
#include <standin/ddimage/Controls.h>
#include <standin/ddimage/Graph.h>
#include <standin/ddimage/Registry.h>
#include <standin/lumox/Transcript.h>

#include <lumoxindirect/LumoxIndirectBase.h>

#include <harness/TestPaths.h>

#include "support/Transcript.h"

#include <gmock/gmock.h>

#include <cstddef>
#include <cstring>
#include <set>
#include <string>

namespace {

static_assert(sizeof(void*) == 8, "the slots below are those of the 64-bit ABIs");

// LightOp has 16 virtual functions, its destructor among them.
#if defined(_WIN32) && !defined(__MINGW32__)
// MSVC's ABI: the destructor takes one slot.
constexpr std::size_t kCategoriesSlot = 16;
#else
// Itanium's ABI: the destructor takes two (complete and deleting).
constexpr std::size_t kCategoriesSlot = 17;
#endif
constexpr std::size_t kEmitLightSlot = kCategoriesSlot + 1;

using AnyFunction = void (*)();

// Both slots are called with emitLight's arguments, which categories
// ignores: in both x86-64 conventions they travel in registers the caller
// clears up. A table in the other order then fails the checks below
// instead of crashing.
using EmitLightSlot = unsigned char (*)(lumoxindirect::LumoxIndirectBase*, const lumoxindirect::RenderOptions*,
                                        lumoxindirect::InputExporter*, bool);
using CategoriesSlot = std::set<std::string>* (*)(lumoxindirect::LumoxIndirectBase*,
                                                  const lumoxindirect::RenderOptions*,
                                                  lumoxindirect::InputExporter*, bool);

// The object's table pointer comes first in both ABIs and points at slot 0.
AnyFunction slotOf(const void* object, std::size_t slot) {
  const AnyFunction* table = nullptr;
  std::memcpy(&table, object, sizeof table);
  return table[slot];
}

class VirtualSlots : public ::testing::Test {
protected:
  void SetUp() override {
    standin::lumox::reset();
    DD::Image::Op::print_name_cb = standin::ddimage::printNodeName;
  }
  void TearDown() override { standin::lumox::reset(); }
};

TEST_F(VirtualSlots, CategoriesAndEmitLightFollowLightOpsSlots) {
  standin::ddimage::PluginLibrary plugin(testsupport::pluginFile().string());
  standin::ddimage::Graph graph;
  DD::Image::Op* op = graph.create("LumoxIndirect", "Bounce1");
  auto* light = dynamic_cast<lumoxindirect::LumoxIndirectBase*>(op);
  ASSERT_NE(light, nullptr);
  graph.buildPanel(op);
  standin::ddimage::Control* category = standin::ddimage::findControl(op, "category");
  ASSERT_NE(category, nullptr);
  category->setText("rim key");
  op->validate(true);
  lumoxindirect::RenderOptions options;

  standin::lumox::clearTranscript();
  const auto emitLight = reinterpret_cast<EmitLightSlot>(slotOf(light, kEmitLightSlot));
  const unsigned char emitted = emitLight(light, &options, nullptr, false);
  EXPECT_THAT(testsupport::functionsOf(standin::lumox::transcript()),
              ::testing::ElementsAre("LxTransformBegin", "LxLightSourceV", "LxTransformEnd"))
      << "slot " << kEmitLightSlot << " is not emitLight";
  EXPECT_EQ(static_cast<int>(emitted), 1);

  standin::lumox::clearTranscript();
  const auto categories = reinterpret_cast<CategoriesSlot>(slotOf(light, kCategoriesSlot));
  std::set<std::string>* set = categories(light, &options, nullptr, false);
  // Only then is the answer known to be a pointer.
  ASSERT_THAT(testsupport::functionsOf(standin::lumox::transcript()), ::testing::IsEmpty())
      << "slot " << kCategoriesSlot << " emitted a light: it is not categories";
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(*set, (std::set<std::string>{"key", "rim"}));
}

}  // namespace
