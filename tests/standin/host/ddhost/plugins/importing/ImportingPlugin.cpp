// A plug-in that imports a library of its own, used when its node is made
// so that the import is kept.
#include <DDImage/Op.h>

#if defined(_WIN32)
extern "C" __declspec(dllimport) int importedLibraryValue();
#else
extern "C" int importedLibraryValue();
#endif

namespace {

class UsesItsImport : public DD::Image::Op {
public:
  explicit UsesItsImport(DD::Image::Node* node) : Op(node), value_(importedLibraryValue()) {}
  const char* Class() const override { return "UsesItsImport"; }
  const char* node_help() const override { return value_ == 42 ? "Uses its import." : "?"; }

private:
  int value_;
};

DD::Image::Op* build(DD::Image::Node* node) {
  return new UsesItsImport(node);
}

const DD::Image::Op::Description description("UsesItsImport", build);

}  // namespace
