#include <standin/lumox/RibOutput.h>

#include "SceneOutput.h"

#include <fstream>
#include <memory>
#include <stdexcept>

namespace standin {
namespace lumox {

namespace {

struct Output {
  std::mutex mutex;
  bool refusedSceneCall = false;
  std::unique_ptr<std::ofstream> file;
  std::unique_ptr<RibWriter> rib;
};

Output& output() {
  static Output instance;
  return instance;
}

}  // namespace

SceneOutput::SceneOutput() : lock_(output().mutex), writer_(output().rib.get()) {}

void SceneOutput::refuse() {
  output().refusedSceneCall = true;
}

void SceneOutput::forgetRefusal() {
  output().refusedSceneCall = false;
}

void openOutput(std::ostream& out) {
  Output& o = output();
  const std::lock_guard<std::mutex> lock(o.mutex);
  o.rib.reset();
  o.file.reset();
  o.refusedSceneCall = false;
  o.rib = std::make_unique<RibWriter>(out);
}

void openOutputFile(const std::string& path) {
  auto file = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc);
  if (!*file) {
    throw std::runtime_error("cannot open " + path + " for writing");
  }
  Output& o = output();
  const std::lock_guard<std::mutex> lock(o.mutex);
  o.rib.reset();
  o.refusedSceneCall = false;
  o.file = std::move(file);
  o.rib = std::make_unique<RibWriter>(*o.file);
}

void writeLine(const std::string& line) {
  const SceneOutput out;
  if (out.writer() != nullptr) {
    out.writer()->line(line);
  }
}

bool sceneRefused() {
  Output& o = output();
  const std::lock_guard<std::mutex> lock(o.mutex);
  return o.refusedSceneCall;
}

void closeOutput() {
  Output& o = output();
  const std::lock_guard<std::mutex> lock(o.mutex);
  if (o.rib) {
    o.rib->flush();
  }
  o.rib.reset();
  if (o.file) {
    o.file->close();
    const bool failed = o.file->fail();
    o.file.reset();
    if (failed) {
      throw std::runtime_error("writing the RIB output failed");
    }
  }
}

std::string ribString(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size() + 2);
  appendRibString(text, bytes);
  return text;
}

}  // namespace lumox
}  // namespace standin
