#include <standin/ddimage/Controls.h>

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <stdexcept>

namespace standin {
namespace ddimage {

namespace {

constexpr char kNoText[] = "";

// The host's copies of text controls' texts, by the address of the op's
// member: a node's controls stay 24 bytes, and an empty text costs nothing.
struct Texts {
  std::mutex mutex;
  std::unordered_map<const void*, std::string> byMember;
};

Texts& texts() {
  static Texts instance;
  return instance;
}

}  // namespace

void releaseText(const void* member) {
  Texts& all = texts();
  const std::lock_guard<std::mutex> lock(all.mutex);
  all.byMember.erase(member);
}

ControlKind controlKind(int type, int storage) {
  using namespace DD::Image;
  if (type == INT_KNOB && storage == IntPtr) {
    return ControlKind::Integer;
  }
  if (type == FLOAT_KNOB && storage == FloatPtr) {
    return ControlKind::Float;
  }
  if (type == COLOR_KNOB && storage == FloatPtr) {
    return ControlKind::Color;
  }
  if (type == STRING_KNOB && storage == StringPtr) {
    return ControlKind::Text;
  }
  if (type == TEXT_KNOB) {
    return ControlKind::Label;
  }
  return ControlKind::Unknown;
}

double ControlDescription::clamped(double value) const {
  if (range && (flags & DD::Image::FORCE_RANGE) != 0) {
    return std::min(std::max(value, range->first), range->second);
  }
  return value;
}

Control::Control(const ControlDescription& description, void* pointer)
    : described_(reinterpret_cast<std::uintptr_t>(&description)), pointer_(pointer) {}

void Control::redescribe(const ControlDescription& description) {
  described_ = reinterpret_cast<std::uintptr_t>(&description) | (described_ & kHidden);
}

const char* Control::name() const {
  const auto& name = description().name;
  return name ? name->c_str() : nullptr;
}

void Control::visible(bool shown) {
  described_ = shown ? described_ & ~kHidden : described_ | kHidden;
}

std::vector<std::string> Control::flagHistory() const {
  std::vector<std::string> history;
  for (const FlagChange& change : description().flagChanges) {
    history.push_back((change.set ? "+" : "-") + std::to_string(change.mask));
  }
  return history;
}

void Control::setInteger(std::int64_t value) {
  if (kind() != ControlKind::Integer) {
    throw std::logic_error("control is not an integer");
  }
  *static_cast<std::int32_t*>(pointer_) =
      static_cast<std::int32_t>(description().clamped(static_cast<double>(value)));
}

void Control::setNumber(double value) {
  if (kind() != ControlKind::Float) {
    throw std::logic_error("control is not a number");
  }
  *static_cast<float*>(pointer_) = static_cast<float>(description().clamped(value));
}

void Control::setColor(float red, float green, float blue) {
  if (kind() != ControlKind::Color) {
    throw std::logic_error("control is not a color");
  }
  float* rgb = static_cast<float*>(pointer_);
  rgb[0] = red;
  rgb[1] = green;
  rgb[2] = blue;
}

const char*& Control::textMember() const {
  return *static_cast<const char**>(pointer_);
}

void Control::bindText() {
  const char*& member = textMember();
  Texts& all = texts();
  const std::lock_guard<std::mutex> lock(all.mutex);
  const auto kept = all.byMember.find(pointer_);
  if (kept != all.byMember.end() && member == kept->second.c_str()) {
    return;
  }
  if (member == nullptr || *member == '\0') {
    if (kept != all.byMember.end()) {
      all.byMember.erase(kept);
    }
    member = kNoText;
    return;
  }
  std::string& copy = all.byMember[pointer_];
  copy = std::string(member);
  member = copy.c_str();
}

void Control::setText(const std::string& value) {
  if (kind() != ControlKind::Text) {
    throw std::logic_error("control is not a text");
  }
  if (value.find('\0') != std::string::npos) {
    throw std::invalid_argument("a text control cannot hold a NUL byte");
  }
  Texts& all = texts();
  const std::lock_guard<std::mutex> lock(all.mutex);
  if (value.empty()) {
    all.byMember.erase(pointer_);
    textMember() = kNoText;
    return;
  }
  std::string& copy = all.byMember[pointer_];
  copy = value;
  textMember() = copy.c_str();
}

std::string Control::text() const {
  if (kind() != ControlKind::Text) {
    throw std::logic_error("control is not a text");
  }
  const char* member = textMember();
  return member != nullptr ? member : "";
}

std::int32_t Control::integer() const {
  if (kind() != ControlKind::Integer) {
    throw std::logic_error("control is not an integer");
  }
  return *static_cast<const std::int32_t*>(pointer_);
}

float Control::number() const {
  if (kind() != ControlKind::Float) {
    throw std::logic_error("control is not a number");
  }
  return *static_cast<const float*>(pointer_);
}

std::vector<float> Control::colorValue() const {
  if (kind() != ControlKind::Color) {
    throw std::logic_error("control is not a color");
  }
  const float* rgb = static_cast<const float*>(pointer_);
  return {rgb[0], rgb[1], rgb[2]};
}

ControlList::ControlList() = default;
ControlList::~ControlList() = default;

Control& ControlList::operator[](std::size_t index) {
  return index < packed_.size() ? packed_[index] : *(*overflow_)[index - packed_.size()];
}

const Control& ControlList::operator[](std::size_t index) const {
  return index < packed_.size() ? packed_[index] : *(*overflow_)[index - packed_.size()];
}

void ControlList::reset(std::size_t expected) {
  overflow_.reset();
  packed_.clear();
  if (expected != packed_.capacity()) {
    std::vector<Control>().swap(packed_);
    packed_.reserve(expected);
  }
}

Control& ControlList::add(const ControlDescription& description, void* pointer) {
  // Past the reserve the packed controls would move under the op's feet.
  if (!overflow_ && packed_.size() < packed_.capacity()) {
    return packed_.emplace_back(description, pointer);
  }
  if (!overflow_) {
    overflow_ = std::make_unique<Overflow>();
  }
  return *overflow_->emplace_back(std::make_unique<Control>(description, pointer));
}

}  // namespace ddimage
}  // namespace standin
