// The renderer's initialisation, apart from the exported function that
// answers it.
#pragma once

#include <cstdint>

namespace standin {
namespace lumox {

// 0 when the initialisation failed; any other byte when it succeeded.
std::uint8_t initialiseRenderMan();

}  // namespace lumox
}  // namespace standin
