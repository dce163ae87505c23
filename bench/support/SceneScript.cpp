#include <bench/SceneScript.h>

#include <sstream>

namespace benchsupport {

std::string sceneScript(int lights) {
  std::ostringstream text;
  text << "Constant {\n name Plate\n}\n";
  for (int i = 0; i < lights; ++i) {
    text << "push $Plate\nLumoxIndirect {\n name Bounce" << i << "\n samples " << 1 + i % 16 << "\n color {"
         << 0.5 + (i % 5) * 0.1 << " 0.8 " << 1.0 - (i % 7) * 0.05 << "}\n exposure " << (i % 9) * 0.25 - 1.0
         << "\n translate {" << i % 100 << " " << (i / 100) % 100 << " " << -(i % 13) << "}\n}\n";
  }
  return text.str();
}

}  // namespace benchsupport
