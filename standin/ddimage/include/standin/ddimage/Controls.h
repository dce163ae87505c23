// The stand-in host's control model.
//
// A declaration becomes a Control bound to the op's member. Type codes:
// 1 text, 3 integer, 8 float, 18 color (three floats), 26 label-only element
// (a separator when it has no label). Storage codes: 1 float(s), 3 int,
// 5 text (a const char* member pointed at the host's copy), 17 none. Flag bits: 2 clamp typed values into the range, 4 slider centred
// on zero, 16 logarithmic slider (the last two only change how a panel
// would draw the slider).
#pragma once

#include <DDImage/Knobs.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace standin {
namespace ddimage {

enum class ControlKind { Integer, Float, Color, Text, Label, Unknown };

DDIMAGE_API ControlKind controlKind(int type, int storage);

class DDIMAGE_API Control : public DD::Image::Knob {
public:
  // A text control keeps its text in `textStore` when given (the node's
  // record, so the op's member outlives a rebuilt panel), else in itself.
  // It starts from the text the member holds, if any.
  Control(int type, int storage, void* pointer, const char* name, const char* label,
          std::string* textStore = nullptr);

  const char* name() const override;
  void visible(bool shown) override;

  int type() const { return type_; }
  int storage() const { return storage_; }
  ControlKind kind() const { return kind_; }
  void* pointer() const { return pointer_; }
  bool hasName() const { return name_.has_value(); }
  const std::optional<std::string>& label() const { return label_; }
  bool isVisible() const { return visible_; }
  std::optional<std::pair<double, double>> range() const { return range_; }
  std::uint64_t flags() const { return flags_; }
  // Every flag operation in order: "+2" set, "-16" cleared.
  const std::vector<std::string>& flagHistory() const { return flagHistory_; }
  const std::optional<std::string>& tooltip() const { return tooltip_; }

  void setRange(double minimum, double maximum);
  void setFlags(std::uint64_t mask);
  void clearFlags(std::uint64_t mask);
  void setTooltip(const char* text);

  // Typed access to the bound member, as the panel would store a value.
  // Throws std::logic_error when the control is not of that kind.
  void setInteger(std::int64_t value);
  void setNumber(double value);
  void setColor(float red, float green, float blue);
  // Throws std::invalid_argument for a NUL byte, which the op could not see.
  void setText(const std::string& value);
  std::int32_t integer() const;
  float number() const;
  std::vector<float> colorValue() const;
  std::string text() const;

private:
  double clamped(double value) const;
  const char*& textMember() const;

  int type_;
  int storage_;
  ControlKind kind_;
  void* pointer_;
  std::optional<std::string> name_;
  std::optional<std::string> label_;
  bool visible_ = true;
  std::optional<std::pair<double, double>> range_;
  std::uint64_t flags_ = 0;
  std::vector<std::string> flagHistory_;
  std::optional<std::string> tooltip_;
  float hostStorage_[3] = {0, 0, 0};
  const char* hostText_ = nullptr;
  std::string ownText_;
  std::string* text_ = &ownText_;
};

}  // namespace ddimage
}  // namespace standin
