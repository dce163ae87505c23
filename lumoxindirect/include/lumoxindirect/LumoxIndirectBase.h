// The interface through which a renderer bridge reaches an indirect light.
#pragma once

#include <DDImage/LightOp.h>

#include <lumoxindirect/InputExporter.h>
#include <lumoxindirect/RenderOptions.h>

#include <set>
#include <string>

namespace lumoxindirect {

class LumoxIndirectBase : public DD::Image::LightOp {
public:
  explicit LumoxIndirectBase(DD::Image::Node* node) : DD::Image::LightOp(node) {}

  // The node's category set, rebuilt at each validation.
  virtual std::set<std::string>* categories() = 0;

  // Writes the light into the renderer's scene stream: a transform scope
  // holding one "ovLumoxIndirect" declaration. `exporter` may be null.
  virtual bool emitLight(const RenderOptions& options, InputExporter* exporter, bool asShader) = 0;
};

}  // namespace lumoxindirect
