#include <standin/ddimage/Controls.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace standin {
namespace ddimage {

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

namespace {

std::optional<std::string> optionalText(const char* text) {
  return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

}  // namespace

Control::Control(int type, int storage, void* pointer, const char* name, const char* label,
                 std::string* textStore)
    : type_(type),
      storage_(storage),
      kind_(controlKind(type, storage)),
      pointer_(pointer),
      name_(optionalText(name)),
      label_(optionalText(label)) {
  // A value control the op did not bind keeps its value in the host; a text
  // control always does, and points the op's member at it.
  if (kind_ == ControlKind::Text) {
    if (pointer_ == nullptr) {
      pointer_ = &hostText_;
    }
    if (textStore != nullptr) {
      text_ = textStore;
    }
    const char*& member = textMember();
    if (member != text_->c_str()) {
      *text_ = member != nullptr ? member : "";
    }
    member = text_->c_str();
  } else if (pointer_ == nullptr && kind_ != ControlKind::Label) {
    pointer_ = hostStorage_;
  }
}

const char* Control::name() const {
  return name_ ? name_->c_str() : nullptr;
}

void Control::visible(bool shown) {
  visible_ = shown;
}

void Control::setRange(double minimum, double maximum) {
  range_ = std::make_pair(minimum, maximum);
}

void Control::setFlags(std::uint64_t mask) {
  flags_ |= mask;
  flagHistory_.push_back("+" + std::to_string(mask));
}

void Control::clearFlags(std::uint64_t mask) {
  flags_ &= ~mask;
  flagHistory_.push_back("-" + std::to_string(mask));
}

void Control::setTooltip(const char* text) {
  tooltip_ = optionalText(text);
}

double Control::clamped(double value) const {
  if (range_ && (flags_ & DD::Image::FORCE_RANGE) != 0) {
    return std::min(std::max(value, range_->first), range_->second);
  }
  return value;
}

void Control::setInteger(std::int64_t value) {
  if (kind_ != ControlKind::Integer) {
    throw std::logic_error("control is not an integer");
  }
  *static_cast<std::int32_t*>(pointer_) = static_cast<std::int32_t>(clamped(static_cast<double>(value)));
}

void Control::setNumber(double value) {
  if (kind_ != ControlKind::Float) {
    throw std::logic_error("control is not a number");
  }
  *static_cast<float*>(pointer_) = static_cast<float>(clamped(value));
}

void Control::setColor(float red, float green, float blue) {
  if (kind_ != ControlKind::Color) {
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

void Control::setText(const std::string& value) {
  if (kind_ != ControlKind::Text) {
    throw std::logic_error("control is not a text");
  }
  if (value.find('\0') != std::string::npos) {
    throw std::invalid_argument("a text control cannot hold a NUL byte");
  }
  *text_ = value;
  textMember() = text_->c_str();
}

std::int32_t Control::integer() const {
  if (kind_ != ControlKind::Integer) {
    throw std::logic_error("control is not an integer");
  }
  return *static_cast<const std::int32_t*>(pointer_);
}

float Control::number() const {
  if (kind_ != ControlKind::Float) {
    throw std::logic_error("control is not a number");
  }
  return *static_cast<const float*>(pointer_);
}

std::vector<float> Control::colorValue() const {
  if (kind_ != ControlKind::Color) {
    throw std::logic_error("control is not a color");
  }
  const float* rgb = static_cast<const float*>(pointer_);
  return {rgb[0], rgb[1], rgb[2]};
}

std::string Control::text() const {
  if (kind_ != ControlKind::Text) {
    throw std::logic_error("control is not a text");
  }
  const char* member = textMember();
  return member != nullptr ? member : "";
}

}  // namespace ddimage
}  // namespace standin
