// Writing the light into the renderer's scene stream.
#include "LumoxIndirect.h"

#include "ParameterList.h"
#include "SampleCount.h"

#include <DDImage/Iop.h>
#include <Lumox/Lumox.h>

#include <array>
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

struct EmissionStorage {
  ParameterList<kFixedParameters + kMaxExportedInputs> parameters;
  std::array<ExportedInput, kMaxExportedInputs> inputs;
  std::size_t exportedInputs = 0;
  std::int32_t samples = 0;
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

}  // namespace

std::string LumoxIndirect::nodeName(const DD::Image::Op* op) {
  std::ostringstream out;
  if (DD::Image::Op::print_name_cb != nullptr) {
    DD::Image::Op::print_name_cb(out, op);
  }
  return out.str();
}

bool LumoxIndirect::emitLight(const RenderOptions& options, InputExporter* exporter, bool asShader) {
  TransformScope scope;
  EmissionStorage storage;
  auto& parameters = storage.parameters;

  if (exporter != nullptr) {
    for (int i = 0; i < inputs(); ++i) {
      if (storage.exportedInputs == storage.inputs.size()) {
        break;
      }
      auto* image = dynamic_cast<DD::Image::Iop*>(input(i));
      if (image == nullptr || !exporter->exportInput(image, true, false)) {
        continue;
      }
      ExportedInput& exported = storage.inputs[storage.exportedInputs++];
      exported.name = nodeName(image);
      const char* label = input_label(i, nullptr);
      exported.declaration = std::string("string _") + (label != nullptr ? label : "");
      exported.nameCell = exported.name.c_str();
      parameters.append(exported.declaration.c_str(), &exported.nameCell);
    }
  }

  storage.samples = sampleCount(samples, options.sampleScale);
  parameters.append("int samples", &storage.samples);
  parameters.append("color color0", color);
  parameters.append("float exposure", &exposure);
  parameters.append("float decay", &falloff);
  parameters.append("float bias", &bias);
  parameters.append("float maxdist", &max_distance);
  parameters.append("int maxDdepth", &bounces);
  parameters.append("int hitmode", &hitmode);

  if (asShader) {
    std::ostringstream handle;
    print_name(handle);
    LxShader(kShaderName, handle.str().c_str(), parameters.count(), parameters.declarations(),
             parameters.values());
  } else {
    LxLightSourceV(kShaderName, parameters.count(), parameters.declarations(), parameters.values());
  }

  scope.close();
  return true;
}

}  // namespace lumoxindirect
