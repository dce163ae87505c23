#include "LumoxIndirect.h"

#include <lumoxindirect/logic/Categories.h>

#include <liblumox/Handoff.h>

#include <DDImage/Iop.h>
#include <DDImage/Knobs.h>

#include <cstdlib>
#include <cstring>

namespace lumoxindirect {

using DD::Image::Op;

namespace {

// Not covered: one edge of the cleanup after a throwing constructor, which
// gcov does not count among the exception branches.
Op* build(DD::Image::Node* node) {
  return new LumoxIndirect(node);  // GCOVR_EXCL_BR_LINE
}

}  // namespace

Op::Description LumoxIndirect::description("LumoxIndirect", build);

namespace {

// Registered right after the record above, in the same translation unit, so
// the loader is torn down when the plug-in unloads, whatever the link order.
#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer's atexit forgets which module registered the function and
// would call into an unloaded plug-in at exit; a static destructor is tied
// to the module, and runs at the same moment.
struct LoaderTeardown {
  ~LoaderTeardown() { liblumox::destroyInstance(); }
} loaderTeardown;
#else
[[maybe_unused]] const int loaderTeardownRegistered = std::atexit(liblumox::destroyInstance);
#endif

}  // namespace

LumoxIndirect::LumoxIndirect(DD::Image::Node* node) : LumoxIndirectBase(node) {
  liblumox::handOff(description.path);
}

LumoxIndirect::~LumoxIndirect() = default;

const char* LumoxIndirect::Class() const {
  return "LumoxIndirect";
}

const char* LumoxIndirect::displayName() const {
  return "LumoxIndirect";
}

const char* LumoxIndirect::node_help() const {
  return "Orvanta indirect light node.";
}

const char* LumoxIndirect::node_shape() const {
  return "O";
}

int LumoxIndirect::minimum_inputs() const {
  return 1;
}

int LumoxIndirect::maximum_inputs() const {
  return 1;
}

bool LumoxIndirect::test_input(int n, Op* op) const {
  return n == 0 && dynamic_cast<DD::Image::Iop*>(op) != nullptr;
}

const char* LumoxIndirect::input_label(int n, char* /*buffer*/) const {
  return n == 0 ? "col" : nullptr;
}

int LumoxIndirect::lightType() const {
  return 0;
}

void LumoxIndirect::_validate(bool for_real) {
  refreshCategories();
  LumoxIndirectBase::_validate(for_real);
}

int LumoxIndirect::knob_changed(DD::Image::Knob* k) {
  if (k != nullptr && k->is("category")) {
    refreshCategories();
  }
  return Op::knob_changed(k);
}

std::set<std::string>* LumoxIndirect::categories() {
  return &category_set;
}

void LumoxIndirect::refreshCategories() {
  category_set.clear();
  if (category_text == nullptr) {
    return;
  }
  category_set = splitCategories(category_text);
}

}  // namespace lumoxindirect
