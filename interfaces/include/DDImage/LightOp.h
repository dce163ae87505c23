// Base class of light nodes in the 3D scene.
#pragma once

#include <DDImage/AxisOp.h>

namespace DD {
namespace Image {

class DDIMAGE_API LightOp : public CameraOp {
public:
  explicit LightOp(Node* node);
  ~LightOp() override;

  virtual int lightType() const;

  void build_handles(ViewerContext* ctx) override;
  void draw_handle(ViewerContext* ctx) override;

protected:
  void _validate(bool for_real) override;
};

}  // namespace Image
}  // namespace DD
