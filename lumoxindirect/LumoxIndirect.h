// The indirect (bounce) light node.
#pragma once

#include <lumoxindirect/LumoxIndirectBase.h>

#include <cstdint>
#include <set>
#include <string>

namespace lumoxindirect {

class LumoxIndirect final : public LumoxIndirectBase {
public:
  static DD::Image::Op::Description description;

  explicit LumoxIndirect(DD::Image::Node* node);
  ~LumoxIndirect() override;

  const char* Class() const override;
  const char* displayName() const override;
  const char* node_help() const override;
  const char* node_shape() const override;
  int minimum_inputs() const override;
  int maximum_inputs() const override;
  bool test_input(int n, DD::Image::Op* op) const override;
  const char* input_label(int n, char* buffer) const override;
  int lightType() const override;

  void knobs(DD::Image::Knob_Closure& f) override;
  int knob_changed(DD::Image::Knob* k) override;
  void build_handles(DD::Image::ViewerContext* ctx) override;
  void draw_handle(DD::Image::ViewerContext* ctx) override;

  std::set<std::string>* categories() override;
  bool emitLight(const RenderOptions& options, InputExporter* exporter, bool asShader) override;

  // The text that names `op` to the renderer and in the viewer, as the
  // host's name callback writes it; empty when the host has set none.
  static std::string nodeName(const DD::Image::Op* op);

protected:
  void _validate(bool for_real) override;

private:
  void refreshCategories();

  std::int32_t samples = 4;
  float color[3] = {1.0f, 1.0f, 1.0f};
  float exposure = 0.0f;
  float falloff = 2.0f;
  float bias = 0.1f;
  float max_distance = 10.0f;
  std::int32_t bounces = 1;
  std::int32_t hitmode = 1;
  // Bound to the `category` control: the host owns the text.
  const char* category_text = nullptr;
  std::set<std::string> category_set;
};

}  // namespace lumoxindirect
