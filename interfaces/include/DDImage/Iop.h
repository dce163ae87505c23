// Image operators: ops whose output is an image.
#pragma once

#include <DDImage/Op.h>

namespace DD {
namespace Image {

class DDIMAGE_API Iop : public Op {
public:
  explicit Iop(Node* node);
  ~Iop() override;
};

}  // namespace Image
}  // namespace DD
