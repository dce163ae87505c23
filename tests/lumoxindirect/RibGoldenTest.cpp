// The RIB a bridge gets for typical lights; the same bytes on every platform.
#include "lumoxindirect/NodeFixture.h"
#include "lumoxindirect/RecordingExporter.h"

#include <standin/lumox/RibOutput.h>
#include <standin/lumox/Transcript.h>

#include <sstream>

namespace {

using testsupport::RecordingExporter;

class RibGolden : public testsupport::NodeFixture {
protected:
  // The plug-in is not installed here: the renderer is initialised by hand,
  // or it would refuse the scene.
  void SetUp() override {
    NodeFixture::SetUp();
    standin::lumox::setInitMode(standin::lumox::InitMode::Succeed);
    Lumox_initLumoxRenderMan();
  }

  std::string rib(lumoxindirect::InputExporter* exporter, bool asShader) {
    std::ostringstream out;
    standin::lumox::openOutput(out);
    lumoxindirect::RenderOptions options;
    light->emitLight(options, exporter, asShader);
    standin::lumox::closeOutput();
    return out.str();
  }
};

TEST_F(RibGolden, DefaultLight) {
  EXPECT_EQ(rib(nullptr, false),
            "##RenderMan RIB-Structure 1.1\n"
            "version 3.04\n"
            "TransformBegin\n"
            "  LightSource \"ovLumoxIndirect\" 1 \"int samples\" [4] \"color color0\" [1 1 1] "
            "\"float exposure\" [0] \"float decay\" [2] \"float bias\" [0.1] \"float maxdist\" [10] "
            "\"int maxDdepth\" [1] \"int hitmode\" [1]\n"
            "TransformEnd\n");
}

TEST_F(RibGolden, LightWithAnExportedImage) {
  graph.connect(op, 0, image);
  control("samples").setInteger(16);
  control("color").setColor(1.0f, 0.5f, 0.25f);
  control("exposure").setNumber(-1.5);
  RecordingExporter exporter(RecordingExporter::Answer::Accept);
  EXPECT_EQ(rib(&exporter, false),
            "##RenderMan RIB-Structure 1.1\n"
            "version 3.04\n"
            "TransformBegin\n"
            "  LightSource \"ovLumoxIndirect\" 1 \"string _col\" [\"Plate1\"] \"int samples\" [16] "
            "\"color color0\" [1 0.5 0.25] \"float exposure\" [-1.5] \"float decay\" [2] \"float bias\" [0.1] "
            "\"float maxdist\" [10] \"int maxDdepth\" [1] \"int hitmode\" [1]\n"
            "TransformEnd\n");
}

TEST_F(RibGolden, ShaderInstance) {
  standin::ddimage::nodeOf(op).name = "Bounce \"key\"";
  control("bounces").setInteger(3);
  control("max_distance").setNumber(2.5);
  EXPECT_EQ(rib(nullptr, true),
            "##RenderMan RIB-Structure 1.1\n"
            "version 3.04\n"
            "TransformBegin\n"
            "  Shader \"ovLumoxIndirect\" \"Bounce \\\"key\\\"\" \"int samples\" [4] \"color color0\" [1 1 1] "
            "\"float exposure\" [0] \"float decay\" [2] \"float bias\" [0.1] \"float maxdist\" [2.5] "
            "\"int maxDdepth\" [3] \"int hitmode\" [1]\n"
            "TransformEnd\n");
}

}  // namespace
