/// @file
/// The interface through which a renderer bridge reaches an indirect light.
#pragma once

#include <DDImage/LightOp.h>

#include <lumoxindirect/InputExporter.h>
#include <lumoxindirect/RenderOptions.h>

#include <set>
#include <string>

/// What a renderer bridge builds against to drive LumoxIndirect nodes.
namespace lumoxindirect {

/// An indirect light node as a bridge sees it: every op whose dynamic type
/// derives from this class (found by `dynamic_cast`) is one.
class LumoxIndirectBase : public DD::Image::LightOp {
public:
  /// Made by the plug-in for the host's `node`.
  explicit LumoxIndirectBase(DD::Image::Node* node) : DD::Image::LightOp(node) {}

  /// The node's category set, rebuilt at each validation: the names a
  /// renderer links the light to objects by.
  virtual std::set<std::string>* categories() = 0;

  /// Writes the light into the renderer's scene stream: a transform scope
  /// holding one "ovLumoxIndirect" declaration, a light source or, when
  /// `asShader` is true, a shader instance. `exporter` may be null. True
  /// when the light was written.
  virtual bool emitLight(const RenderOptions& options, InputExporter* exporter, bool asShader) = 0;
};

}  // namespace lumoxindirect
