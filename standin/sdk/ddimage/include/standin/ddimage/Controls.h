// The stand-in host's control model.
//
// What a declaration says (kind, name, label, range, flags, tooltip) is the
// same for every node of a class, so the host keeps it once per class as a
// ControlDescription; a node's Control holds only what is its own: where its
// value is, and whether it is shown.
//
// Type codes: 1 text, 3 integer, 8 float, 18 color (three floats), 26
// label-only element (a separator when it has no label). Storage codes:
// 1 float(s), 3 int, 5 text (a const char* member the host points at its
// own copy), 17 none. Flag bits: 2 clamp typed values into the range, 4 slider
// centred on zero, 16 logarithmic slider (the last two only change how a
// panel would draw the slider).
#pragma once

#include <DDImage/Knobs.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace standin {
namespace ddimage {

enum class ControlKind { Integer, Float, Color, Text, Label, Unknown };

DDIMAGE_API ControlKind controlKind(int type, int storage);

// One flag operation of a declaration, in the order the op made them.
struct FlagChange {
  bool set = true;  // false: cleared
  std::uint64_t mask = 0;

  bool operator==(const FlagChange& other) const { return set == other.set && mask == other.mask; }
  bool operator!=(const FlagChange& other) const { return !(*this == other); }
};

// A control as its class declares it.
struct DDIMAGE_API ControlDescription {
  int type = 0;
  int storage = 0;
  ControlKind kind = ControlKind::Unknown;
  std::optional<std::string> name;
  std::optional<std::string> label;
  std::optional<std::pair<double, double>> range;
  std::uint64_t flags = 0;  // after every change below
  std::vector<FlagChange> flagChanges;
  std::optional<std::string> tooltip;

  // The value of a typed entry after the range clamps it, if the flags ask.
  double clamped(double value) const;
};

class DDIMAGE_API Control : public DD::Image::Knob {
public:
  // `pointer` is where the value is kept: the op's member, or host storage.
  Control(const ControlDescription& description, void* pointer);

  const char* name() const override;
  void visible(bool shown) override;

  const ControlDescription& description() const {
    return *reinterpret_cast<const ControlDescription*>(described_ & ~kHidden);
  }
  int type() const { return description().type; }
  int storage() const { return description().storage; }
  ControlKind kind() const { return description().kind; }
  void* pointer() const { return pointer_; }
  bool hasName() const { return description().name.has_value(); }
  const std::optional<std::string>& label() const { return description().label; }
  bool isVisible() const { return (described_ & kHidden) == 0; }
  std::optional<std::pair<double, double>> range() const { return description().range; }
  std::uint64_t flags() const { return description().flags; }
  // Every flag operation in order: "+2" set, "-16" cleared.
  std::vector<std::string> flagHistory() const;
  const std::optional<std::string>& tooltip() const { return description().tooltip; }

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

  // A text control's member is pointed at the host's copy of its text,
  // which starts from what the member held (kept when it already points at
  // the host's copy, as when a panel is built again).
  void bindText();

private:
  friend class PanelBuilder;
  void redescribe(const ControlDescription& description);
  const char*& textMember() const;

  // Every node has a dozen of these: whether it is hidden takes the low
  // bit of the description's address, which alignment leaves free.
  static constexpr std::uintptr_t kHidden = 1;
  static_assert(alignof(ControlDescription) > 1, "descriptions leave the low address bit free");

  std::uintptr_t described_;
  void* pointer_;
};

// A node's controls in declaration order. They stay where they are while
// the panel lasts (ops keep the Knob pointers they are given), and sit
// side by side when the host knows beforehand how many there will be.
class DDIMAGE_API ControlList {
public:
  ControlList();
  ~ControlList();
  ControlList(const ControlList&) = delete;
  ControlList& operator=(const ControlList&) = delete;

  std::size_t size() const { return packed_.size() + overflowSize(); }
  bool empty() const { return size() == 0; }
  Control& operator[](std::size_t index);
  const Control& operator[](std::size_t index) const;
  Control& back() { return (*this)[size() - 1]; }

  // Forgets every control, and makes room for `expected` new ones.
  void reset(std::size_t expected);
  Control& add(const ControlDescription& description, void* pointer);

  template <typename List, typename Item>
  class Iterator {
  public:
    Iterator(List* list, std::size_t index) : list_(list), index_(index) {}
    Item& operator*() const { return (*list_)[index_]; }
    Item* operator->() const { return &(*list_)[index_]; }
    Iterator& operator++() {
      ++index_;
      return *this;
    }
    bool operator==(const Iterator& other) const { return index_ == other.index_; }
    bool operator!=(const Iterator& other) const { return index_ != other.index_; }

  private:
    List* list_;
    std::size_t index_;
  };
  Iterator<ControlList, Control> begin() { return {this, 0}; }
  Iterator<ControlList, Control> end() { return {this, size()}; }
  Iterator<const ControlList, const Control> begin() const { return {this, 0}; }
  Iterator<const ControlList, const Control> end() const { return {this, size()}; }

private:
  using Overflow = std::vector<std::unique_ptr<Control>>;
  std::size_t overflowSize() const { return overflow_ ? overflow_->size() : 0; }

  std::vector<Control> packed_;       // never grows past its reserve
  std::unique_ptr<Overflow> overflow_;  // what did not fit; rarely there
};

// Forgets the host's copy of the text of the control whose member is at
// `member`: its node is gone, or the member with it.
DDIMAGE_API void releaseText(const void* member);

}  // namespace ddimage
}  // namespace standin
