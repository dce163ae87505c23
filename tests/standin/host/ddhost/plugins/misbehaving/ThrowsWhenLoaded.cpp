// A plug-in whose static initialisation throws, as one refusing a host it
// has no licence for might.
#include <stdexcept>

namespace {

struct Licence {
  Licence() { throw std::runtime_error("no licence for this host"); }
};

const Licence licence;

}  // namespace
