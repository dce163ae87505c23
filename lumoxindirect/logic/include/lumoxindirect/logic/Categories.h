// Turns a category text into the set of category names a light belongs to.
#pragma once

#include <set>
#include <string>

namespace lumoxindirect {

// Pieces of `text` between spaces and commas, each with every character that
// is not a letter or digit replaced by '_'. Empty pieces are dropped.
// A null text gives an empty set.
std::set<std::string> splitCategories(const char* text);

}  // namespace lumoxindirect
