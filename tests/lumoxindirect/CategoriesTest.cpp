#include <lumoxindirect/logic/Categories.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using lumoxindirect::splitCategories;
using Set = std::set<std::string>;

TEST(Categories, NullTextGivesNoCategories) {
  EXPECT_TRUE(splitCategories(nullptr).empty());
}

TEST(Categories, SplitsAtBlanksAndCommasOnly) {
  struct Case {
    const char* text;
    Set expected;
  };
  const Case cases[] = {
      {"", {}},
      {" , ,,  ", {}},
      {"key", {"key"}},
      {"key fill", {"fill", "key"}},
      {"key,fill", {"fill", "key"}},
      {"  key ,, fill  ", {"fill", "key"}},
      // Other white space belongs to the piece, and is no letter or digit.
      {"key\tfill", {"key_fill"}},
      {"key\nfill rim", {"key_fill", "rim"}},
      {"rim-light", {"rim_light"}},
      {"a.b/c:d", {"a_b_c_d"}},
      {"key key,key", {"key"}},
      {"rim-light rim_light", {"rim_light"}},
      // Byte order, upper case first.
      {"b a B A 10 9", {"10", "9", "A", "B", "a", "b"}},
      {"Light2 light1", {"Light2", "light1"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(splitCategories(c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(Categories, BytesOutsideAsciiBecomeUnderscores) {
  EXPECT_EQ(splitCategories("caf\xc3\xa9"), (Set{"caf__"}));
}

}  // namespace
