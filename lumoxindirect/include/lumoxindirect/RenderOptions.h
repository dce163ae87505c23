/// @file
/// The renderer bridge's render settings, as a light node reads them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumoxindirect {

/// The bridge owns this record; a light reads only `sampleScale`, which the
/// bridge keeps at a fixed byte offset.
struct RenderOptions {
  /// The bridge's own settings ahead of `sampleScale`.
  std::uint8_t bridgeHead[172] = {};
  /// Multiplies each light's sample count.
  float sampleScale = 1.0f;
  /// The bridge's own settings after `sampleScale`.
  std::uint8_t bridgeTail[80] = {};
};

static_assert(offsetof(RenderOptions, sampleScale) == 172, "sampleScale at byte 172 (0xAC)");
static_assert(sizeof(float) == 4, "sampleScale is a 32-bit float");

}  // namespace lumoxindirect
