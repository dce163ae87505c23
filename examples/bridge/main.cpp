// Plays the host for the example bridge: loads the plug-in, builds a small
// scene with the stand-in host's node graph, and has the bridge write it
// into a RIB file, followed by what the bridge learnt of each light.
//
//   bridge-example PLUGIN_DIR OUTPUT.rib
#include "Bridge.h"

#include <standin/ddimage/Graph.h>
#include <standin/ddimage/Registry.h>
#include <standin/lumox/RibOutput.h>

#include <DDImage/Op.h>

#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>

namespace {

using standin::ddimage::findControl;

standin::ddimage::Control& control(DD::Image::Op* op, const char* name) {
  standin::ddimage::Control* found = findControl(op, name);
  if (found == nullptr) {
    throw std::runtime_error(std::string("no control ") + name);
  }
  return *found;
}

std::string summary(const bridge::EmittedLight& light) {
  std::string line = "# " + light.name + ": categories";
  for (const std::string& category : light.categories) {
    line += ' ' + standin::lumox::ribString(category);
  }
  line += "; images";
  for (const std::string& image : light.images) {
    line += ' ' + standin::lumox::ribString(image);
  }
  return line;
}

int run(const std::string& pluginDir, const std::string& output) {
  const standin::ddimage::PluginLibrary plugin(pluginDir + "/" + standin::ddimage::pluginFileName("LumoxIndirect"));
  DD::Image::Op::print_name_cb = standin::ddimage::printNodeName;

  // Declared after the plug-in: its nodes go before it is unloaded.
  standin::ddimage::Graph graph;
  DD::Image::Op* plate = graph.create("Constant", "Plate");
  DD::Image::Op* key = graph.create("LumoxIndirect", "KeyBounce");
  graph.buildPanel(key);
  control(key, "samples").setInteger(8);
  control(key, "color").setColor(1.0f, 0.9f, 0.8f);
  control(key, "category").setText("key, rim-light");
  graph.connect(key, 0, plate);
  graph.create("Card", "Floor");
  DD::Image::Op* fill = graph.create("LumoxIndirect", "FillBounce");
  graph.buildPanel(fill);
  control(fill, "exposure").setNumber(-1.0);
  control(fill, "category").setText("fill");
  for (DD::Image::Op* op : graph.ops()) {
    op->validate(true);
  }

  standin::lumox::openOutputFile(output);
  standin::lumox::writeLine("WorldBegin");
  const std::vector<bridge::EmittedLight> lights = bridge::emitLights(graph.ops(), bridge::Settings{});
  standin::lumox::writeLine("WorldEnd");
  for (const bridge::EmittedLight& light : lights) {
    standin::lumox::writeLine(summary(light));
  }
  standin::lumox::closeOutput();
  if (standin::lumox::sceneRefused()) {
    std::cerr << "bridge-example: the renderer library was not initialised\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: bridge-example PLUGIN_DIR OUTPUT.rib\n";
    return 2;
  }
  try {
    return run(argv[1], argv[2]);
  } catch (const std::exception& error) {
    std::cerr << "bridge-example: " << error.what() << "\n";
    return 1;
  }
}
