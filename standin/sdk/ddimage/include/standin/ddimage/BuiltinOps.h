// Node classes built into the stand-in host.
#pragma once

#include <DDImage/AxisOp.h>
#include <DDImage/Iop.h>

namespace standin {
namespace ddimage {

// An image node: a flat color.
class DDIMAGE_API Constant : public DD::Image::Iop {
public:
  static const char* const kClass;
  explicit Constant(DD::Image::Node* node);
  const char* Class() const override;
  const char* node_help() const override;
  int maximum_inputs() const override;
};

// A 3D node that is not an image: a card in the scene.
class DDIMAGE_API Card : public DD::Image::AxisOp {
public:
  static const char* const kClass;
  explicit Card(DD::Image::Node* node);
  const char* Class() const override;
  const char* node_help() const override;
  int maximum_inputs() const override;
};

}  // namespace ddimage
}  // namespace standin
