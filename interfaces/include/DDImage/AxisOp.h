// Ops that place something in 3D space: cameras, lights, axes.
#pragma once

#include <DDImage/Matrix4.h>
#include <DDImage/Op.h>

namespace DD {
namespace Image {

class DDIMAGE_API AxisOp : public Op {
public:
  explicit AxisOp(Node* node);
  ~AxisOp() override;

  // The op's transform; the host keeps it up to date from its own controls.
  const Matrix4& matrix() const { return matrix_; }
  void set_matrix(const Matrix4& m) { matrix_ = m; }

  // Byte offset of the transform from the start of the op; fixed by the ABI.
  static constexpr std::size_t kMatrixOffset = 264;

private:
  [[maybe_unused]] void* axis_reserved_;
  Matrix4 matrix_;
};

class DDIMAGE_API CameraOp : public AxisOp {
public:
  explicit CameraOp(Node* node);
  ~CameraOp() override;
};

}  // namespace Image
}  // namespace DD
