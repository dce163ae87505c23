#include <standin/ddimage/Controls.h>

#include <DDImage/Knobs.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using DD::Image::STRING_KNOB;
using DD::Image::StringPtr;
using standin::ddimage::Control;
using standin::ddimage::ControlKind;

TEST(TextControl, StartsFromTheMembersTextAndPointsItAtTheHostsCopy) {
  const char* member = "default";
  std::string kept;
  Control control(STRING_KNOB, StringPtr, &member, "category", "category", &kept);
  EXPECT_EQ(control.kind(), ControlKind::Text);
  EXPECT_EQ(control.text(), "default");
  EXPECT_EQ(member, kept.c_str());

  control.setText("key rim");
  EXPECT_STREQ(member, "key rim");
  EXPECT_EQ(member, kept.c_str());
}

TEST(TextControl, RedeclaredOnTheSameStoreKeepsTheText) {
  const char* member = nullptr;
  std::string kept;
  {
    Control first(STRING_KNOB, StringPtr, &member, "category", "category", &kept);
    EXPECT_EQ(first.text(), "");
    first.setText("key");
  }
  Control second(STRING_KNOB, StringPtr, &member, "category", "category", &kept);
  EXPECT_EQ(second.text(), "key");
  EXPECT_EQ(member, kept.c_str());
}

TEST(TextControl, UnboundOrWithoutStoreKeepsItsOwnText) {
  Control unbound(STRING_KNOB, StringPtr, nullptr, "note", "note");
  EXPECT_EQ(unbound.text(), "");
  unbound.setText("kept by the host");
  EXPECT_EQ(unbound.text(), "kept by the host");

  const char* member = nullptr;
  Control ownStore(STRING_KNOB, StringPtr, &member, "note", "note");
  ownStore.setText("own");
  EXPECT_STREQ(member, "own");
}

TEST(TextControl, RefusesNulBytesAndOtherKindsOfValue) {
  const char* member = nullptr;
  Control control(STRING_KNOB, StringPtr, &member, "category", "category");
  control.setText("key");
  EXPECT_THROW(control.setText(std::string("a\0b", 3)), std::invalid_argument);
  EXPECT_STREQ(member, "key");
  EXPECT_THROW(control.setNumber(1.0), std::logic_error);

  float number = 0;
  Control floatControl(DD::Image::FLOAT_KNOB, DD::Image::FloatPtr, &number, "f", "f");
  EXPECT_THROW(floatControl.setText("key"), std::logic_error);
  EXPECT_THROW(floatControl.text(), std::logic_error);
}

}  // namespace
