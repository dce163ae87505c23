// Writing the light into the renderer's scene stream.
#include "Attributes.h"
#include "LumoxIndirect.h"

#include <lumoxindirect/logic/ParameterList.h>
#include <lumoxindirect/logic/SampleCount.h>

#include <DDImage/Iop.h>
#include <Lumox/Lumox.h>

#include <array>
#include <cstdint>
#include <sstream>
#include <string>

namespace lumoxindirect {

namespace {

constexpr const char* kShaderName = "ovLumoxIndirect";
constexpr std::size_t kFixedParameters = 8;
constexpr std::size_t kMaxExportedInputs = 8;

// What one exported input adds to the list; its texts are owned here so the
// pointers handed to the renderer stay put until the call is done.
struct ExportedInput {
  std::string declaration;
  std::string name;
  const char* nameCell = nullptr;
};

struct ExportedInputs {
  std::array<ExportedInput, kMaxExportedInputs> slots;
  std::size_t count = 0;

  bool full() const { return count == slots.size(); }
  ExportedInput& next() { return slots[count++]; }
};

// Closes the transform scope if an exception leaves emitLight, so a bridge
// that catches it does not write the rest of its scene inside this light.
class TransformScope {
public:
  TransformScope() { LxTransformBegin(); }
  ~TransformScope() {
    if (open_) {
      try {
        LxTransformEnd();
      } catch (...) {
        // Already unwinding: the first exception is the one that matters.
      }
    }
  }
  TransformScope(const TransformScope&) = delete;
  TransformScope& operator=(const TransformScope&) = delete;

  void close() {
    open_ = false;
    LxTransformEnd();
  }

private:
  bool open_ = true;
};

// Kept out of line: the handle's stream would otherwise weigh on every
// light source's frame.
LUMOX_NOINLINE void declareShader(const DD::Image::Op& light, int count, const LxToken* declarations,
                                  const LxPointer* values) {
  std::ostringstream handle;
  light.print_name(handle);
  LxShader(kShaderName, handle.str().c_str(), count, declarations, values);
}

}  // namespace

std::string LumoxIndirect::nodeName(const DD::Image::Op* op) {
  std::ostringstream out;
  if (DD::Image::Op::print_name_cb != nullptr) {
    DD::Image::Op::print_name_cb(out, op);
  }
  return out.str();
}

bool LumoxIndirect::emitLight(const RenderOptions& options, InputExporter* exporter, bool asShader) {
  // One light in one transform scope. Everything the list points at is
  // declared before the scope, so it outlives LxTransformEnd on every path,
  // the scope's destructor included; the exported inputs' texts live in the
  // caller's frame, built only when there is an exporter.
  const auto emitWithin = [&](ExportedInputs* exported) {
    ParameterList<kFixedParameters + kMaxExportedInputs> parameters;
    std::int32_t sampleCountValue = 0;
    TransformScope scope;

    if (exported != nullptr) {
      for (int i = 0; i < inputs() && !exported->full(); ++i) {
        auto* image = dynamic_cast<DD::Image::Iop*>(input(i));
        if (image == nullptr || !exporter->exportInput(image, true, false)) {
          continue;
        }
        ExportedInput& input = exported->next();
        input.name = nodeName(image);
        const char* label = input_label(i, nullptr);
        input.declaration = std::string("string _") + (label != nullptr ? label : "");
        input.nameCell = input.name.c_str();
        parameters.append(input.declaration.c_str(), &input.nameCell);
      }
    }

    sampleCountValue = sampleCount(samples, options.sampleScale);
    parameters.append("int samples", &sampleCountValue);
    parameters.append("color color0", color);
    parameters.append("float exposure", &exposure);
    parameters.append("float decay", &falloff);
    parameters.append("float bias", &bias);
    parameters.append("float maxdist", &max_distance);
    parameters.append("int maxDdepth", &bounces);
    parameters.append("int hitmode", &hitmode);

    if (asShader) {
      declareShader(*this, parameters.count(), parameters.declarations(), parameters.values());
    } else {
      LxLightSourceV(kShaderName, parameters.count(), parameters.declarations(), parameters.values());
    }
    scope.close();
  };

  if (exporter == nullptr) {
    // Most calls: no input storage to build at all.
    emitWithin(nullptr);
  } else {
    ExportedInputs exported;
    emitWithin(&exported);
  }
  return true;
}

}  // namespace lumoxindirect
