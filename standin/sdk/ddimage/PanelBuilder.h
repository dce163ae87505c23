// Building a node's controls from its op's declarations.
#pragma once

#include <DDImage/Op.h>

namespace standin {
namespace ddimage {

// Asks `op` for its controls and makes them `node`'s, after the host's own
// `intensity` when `hostIntensity`. Declarations that match the class's
// share its descriptions; an op that declares otherwise gets its own.
void buildControls(DD::Image::Op& op, DD::Image::Node& node, bool hostIntensity);

}  // namespace ddimage
}  // namespace standin
