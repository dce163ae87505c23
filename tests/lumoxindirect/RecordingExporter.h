// A bridge's input exporter that answers as told and remembers what it saw.
#pragma once

#include <lumoxindirect/InputExporter.h>

#include <functional>
#include <stdexcept>
#include <vector>

namespace testsupport {

class RecordingExporter final : public lumoxindirect::InputExporter {
public:
  enum class Answer { Accept, Decline, Throw };

  explicit RecordingExporter(Answer answer) : answer_(answer) {}

  void beginLight(const DD::Image::Op*) override { ++bridgeHookCalls; }
  void endLight(const DD::Image::Op*) override { ++bridgeHookCalls; }
  bool exportInput(DD::Image::Iop* image, bool first, bool second) override {
    asked.push_back(image);
    flags.push_back({first, second});
    if (onAsked) {
      onAsked(asked.size());
    }
    if (answer_ == Answer::Throw) {
      throw std::runtime_error("exporter failed");
    }
    return answer_ == Answer::Accept;
  }

  std::vector<DD::Image::Iop*> asked;
  std::vector<std::pair<bool, bool>> flags;
  int bridgeHookCalls = 0;
  // Runs at each question, with how many have been asked: a bridge that
  // changes the scene while it exports.
  std::function<void(std::size_t)> onAsked;

private:
  Answer answer_;
};

}  // namespace testsupport
