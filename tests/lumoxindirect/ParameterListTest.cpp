#include <lumoxindirect/logic/ParameterList.h>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// Entries never move, so a full list refuses more rather than growing, and
// what it holds stays as it was.
TEST(ParameterList, AFullListRefusesMoreAndKeepsItsEntries) {
  lumoxindirect::ParameterList<2> list;
  const int first = 1;
  const float second = 2.0f;
  list.append("int first", &first);
  EXPECT_FALSE(list.full());
  list.append("float second", &second);
  EXPECT_TRUE(list.full());
  const LxToken* declarations = list.declarations();

  EXPECT_THROW(list.append("int third", &first), std::length_error);
  EXPECT_EQ(list.count(), 2);
  EXPECT_EQ(list.declarations(), declarations);
  EXPECT_STREQ(list.declarations()[1], "float second");
  EXPECT_EQ(list.values()[0], &first);
  EXPECT_EQ(list.values()[1], &second);
}

}  // namespace
