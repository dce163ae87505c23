// The renderer bridge's exporter of a light's input images.
#pragma once

namespace DD {
namespace Image {
class Iop;
class Op;
}  // namespace Image
}  // namespace DD

namespace lumoxindirect {

// Implemented by the bridge. A light calls only exportInput, the third
// virtual slot; the two before it are the bridge's own hooks around a light.
class InputExporter {
public:
  virtual void beginLight(const DD::Image::Op* light) = 0;
  virtual void endLight(const DD::Image::Op* light) = 0;
  // True when the bridge makes `image` available to the renderer under its
  // node name text.
  virtual bool exportInput(DD::Image::Iop* image, bool asTexture, bool premultiplied) = 0;

protected:
  InputExporter() = default;
  InputExporter(const InputExporter&) = default;
  InputExporter& operator=(const InputExporter&) = default;
  ~InputExporter() = default;
};

}  // namespace lumoxindirect
