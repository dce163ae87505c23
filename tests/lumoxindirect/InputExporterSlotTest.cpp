// The node must reach exportInput through the third slot of the exporter's
// table, whatever the header says: the bridge is built separately.
#include "lumoxindirect/NodeFixture.h"
#include "lumoxindirect/RecordingExporter.h"

#include <DDImage/Iop.h>

#include <cstddef>
#include <typeinfo>

namespace {

int calledSlot = -1;
DD::Image::Iop* exportedImage = nullptr;

void slot0(void*, const void*) {
  calledSlot = 0;
}

void slot1(void*, const void*) {
  calledSlot = 1;
}

bool slot2(void*, DD::Image::Iop* image, bool first, bool second) {
  calledSlot = 2;
  exportedImage = image;
  return first && !second;
}

using AnyFunction = void (*)();

// A virtual table as the bridge's compiler lays one out in the Itanium ABI
// (offset to the whole object, type information, then the slots), and an
// object pointing at its first slot. The type information names a real
// exporter class so that run-time type checks accept the object. MSVC's ABI
// keeps one pointer before the slots, which a plain call never reads.
struct VirtualTable {
  std::ptrdiff_t offsetToTop;
  const std::type_info* type;
  AnyFunction slots[3];
};

const VirtualTable kTable = {
    0,
    &typeid(testsupport::RecordingExporter),
    {reinterpret_cast<AnyFunction>(&slot0), reinterpret_cast<AnyFunction>(&slot1),
     reinterpret_cast<AnyFunction>(&slot2)},
};

struct HandMadeExporter {
  const AnyFunction* table = kTable.slots;
};

using testsupport::NodeFixture;

TEST_F(NodeFixture, ExportInputIsTheExportersThirdSlot) {
  graph.connect(op, 0, image);
  HandMadeExporter fake;
  auto* exporter = reinterpret_cast<lumoxindirect::InputExporter*>(&fake);
  lumoxindirect::RenderOptions options;
  ASSERT_TRUE(light->emitLight(options, exporter, false));

  EXPECT_EQ(calledSlot, 2);
  EXPECT_EQ(exportedImage, dynamic_cast<DD::Image::Iop*>(image));
  const auto calls = standin::lumox::transcript();
  ASSERT_EQ(calls.size(), 3u);
  ASSERT_FALSE(calls[1].parameters.empty());
  EXPECT_EQ(calls[1].parameters[0].declaration, std::optional<std::string>("string _col"));
}

}  // namespace
