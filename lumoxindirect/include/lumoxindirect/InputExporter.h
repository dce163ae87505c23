/// @file
/// The renderer bridge's exporter of a light's input images.
#pragma once

namespace DD {
namespace Image {
class Iop;
class Op;
}  // namespace Image
}  // namespace DD

namespace lumoxindirect {

/// Implemented by the bridge. A light calls only exportInput(), the third
/// virtual slot; the two before it are the bridge's own hooks around a light.
class InputExporter {
public:
  /// The bridge's hook before it has `light` emit itself.
  virtual void beginLight(const DD::Image::Op* light) = 0;
  /// The bridge's hook after `light` has emitted itself.
  virtual void endLight(const DD::Image::Op* light) = 0;
  /// True when the bridge makes `image` available to the renderer under its
  /// node name text; `asTexture` and `premultiplied` say how the light
  /// wants it.
  virtual bool exportInput(DD::Image::Iop* image, bool asTexture, bool premultiplied) = 0;

protected:
  /// Made only as part of a bridge's own exporter.
  InputExporter() = default;
  /// Copied only as part of a bridge's own exporter.
  InputExporter(const InputExporter&) = default;
  /// Assigned only as part of a bridge's own exporter.
  InputExporter& operator=(const InputExporter&) = default;
  /// Not destroyed through this interface: a light never owns its exporter.
  ~InputExporter() = default;
};

}  // namespace lumoxindirect
