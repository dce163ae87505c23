// The 3D viewer's context record, handed to build_handles and draw_handle.
//
// Ops read it in place, so the layout below is part of the ABI: the reserved
// runs keep the fields at the offsets every SDK generation of this ABI uses.
// Only the host's viewer makes one and fills it in, through a class of its own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace DD {
namespace Image {

class ViewerContext {
public:
  int draw_handles_wanted() const { return draw_handles_wanted_; }
  int draw_mode() const { return draw_mode_; }
  std::uint32_t draw_color() const { return draw_color_; }
  int handles_mode() const { return handles_mode_; }

protected:
  ViewerContext() = default;
  ~ViewerContext() = default;
  ViewerContext(const ViewerContext&) = default;
  ViewerContext& operator=(const ViewerContext&) = default;

  std::uint8_t reserved0_[16] = {};
  std::int32_t draw_handles_wanted_ = 0;
  std::uint8_t reserved1_[16] = {};
  std::int32_t draw_mode_ = 0;
  std::uint8_t reserved2_[16] = {};
  std::uint32_t draw_color_ = 0;
  std::uint8_t reserved3_[288] = {};
  std::int32_t handles_mode_ = 0;
  std::uint8_t reserved4_[4] = {};

private:
  friend struct ViewerContextLayout;
};

struct ViewerContextLayout {
  static_assert(offsetof(ViewerContext, draw_handles_wanted_) == 16, "draw_handles_wanted at 16");
  static_assert(offsetof(ViewerContext, draw_mode_) == 36, "draw_mode at 36");
  static_assert(offsetof(ViewerContext, draw_color_) == 56, "draw_color at 56");
  static_assert(offsetof(ViewerContext, handles_mode_) == 348, "handles_mode at 348");
};

}  // namespace Image
}  // namespace DD
