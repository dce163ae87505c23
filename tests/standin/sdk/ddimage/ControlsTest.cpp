// Text controls: the op's member points at the host's copy of its text.
#include <standin/ddimage/Controls.h>

#include <DDImage/Knobs.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using standin::ddimage::Control;
using standin::ddimage::ControlDescription;
using standin::ddimage::ControlKind;

ControlDescription described(int type, int storage, const char* name) {
  ControlDescription d;
  d.type = type;
  d.storage = storage;
  d.kind = standin::ddimage::controlKind(type, storage);
  d.name = name;
  d.label = name;
  return d;
}

const ControlDescription kText = described(DD::Image::STRING_KNOB, DD::Image::StringPtr, "category");

// Binds a text control to `member` and forgets the host's copy afterwards,
// as a node does when it goes.
struct BoundText {
  explicit BoundText(const char*& member) : control(kText, &member) { control.bindText(); }
  ~BoundText() { standin::ddimage::releaseText(control.pointer()); }
  Control control;
};

TEST(TextControl, StartsFromTheMembersTextAndPointsItAtTheHostsCopy) {
  const std::string original = "default";
  const char* member = original.c_str();
  BoundText bound(member);
  EXPECT_EQ(bound.control.kind(), ControlKind::Text);
  EXPECT_EQ(bound.control.text(), "default");
  EXPECT_NE(member, original.c_str());

  bound.control.setText("key rim");
  EXPECT_STREQ(member, "key rim");
  bound.control.setText("");
  EXPECT_STREQ(member, "");
}

// A panel built again declares the control on the same member.
TEST(TextControl, BoundAgainKeepsTheText) {
  const char* member = nullptr;
  BoundText first(member);
  EXPECT_EQ(first.control.text(), "");
  EXPECT_NE(member, nullptr);
  first.control.setText("key");
  const char* kept = member;
  Control second(kText, &member);
  second.bindText();
  EXPECT_EQ(second.text(), "key");
  EXPECT_EQ(member, kept);
}

TEST(TextControl, RefusesNulBytesAndOtherKindsOfValue) {
  const char* member = nullptr;
  BoundText bound(member);
  bound.control.setText("key");
  EXPECT_THROW(bound.control.setText(std::string("a\0b", 3)), std::invalid_argument);
  EXPECT_STREQ(member, "key");
  EXPECT_THROW(bound.control.setNumber(1.0), std::logic_error);

  float number = 0;
  const ControlDescription floatDescription = described(DD::Image::FLOAT_KNOB, DD::Image::FloatPtr, "f");
  Control floatControl(floatDescription, &number);
  EXPECT_THROW(floatControl.setText("key"), std::logic_error);
  EXPECT_THROW(floatControl.text(), std::logic_error);
}

}  // namespace
