// The 3D viewer drawn off-screen: a ground grid, every node's handles, and
// a marker for each 3D node that draws none of its own.
#pragma once

#include "CommandLine.h"
#include "Scene.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace ddhost {

// 8-bit RGB, top row first.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

// 0xRRGGBBAA colors.
constexpr std::uint32_t kViewerBackground = 0x262626FFu;
constexpr std::uint32_t kViewerGrid = 0x4A4A4AFFu;
constexpr std::uint32_t kViewerDrawColor = 0xC8C8C8FFu;  // handles' default color
constexpr std::uint32_t kViewerMarker = 0x6FA8DCFFu;     // the host's own markers

// Seen through the default camera (ViewerCamera.h), handed to `done` while
// the context still exists: a caller that ends the process there never meets
// the driver's teardown. Throws std::runtime_error when no off-screen context
// can be had, SceneError when a node's drawing fails, std::bad_alloc.
void drawViewer(const std::vector<SceneNode>& nodes, ViewerSize size, const std::function<void(Picture&)>& done);

}  // namespace ddhost
