// The sample count a light asks of the renderer.
#pragma once

#include <cstdint>

namespace lumoxindirect {

// samples × scale, rounded half up by truncating (value + 0.5) toward zero,
// all in 32-bit floats. Zero samples give 0; a non-zero count that rounds
// to 0 gives 1. Results beyond the int32 range saturate, and a NaN scale
// counts as rounding to 0, so it gives 1.
std::int32_t sampleCount(std::int32_t samples, float sampleScale);

}  // namespace lumoxindirect
