#include <lumoxindirect/logic/Categories.h>

#include <boost/algorithm/string/classification.hpp>
#include <boost/range/algorithm/replace_if.hpp>
#include <boost/tokenizer.hpp>

namespace lumoxindirect {

std::set<std::string> splitCategories(const char* text) {
  std::set<std::string> names;
  if (text == nullptr) {
    return names;
  }
  const std::string source(text);
  // Only spaces and commas separate; tabs and newlines belong to the names.
  const boost::char_separator<char> separators(" ,");
  for (std::string piece : boost::tokenizer<boost::char_separator<char>>(source, separators)) {
    boost::range::replace_if(piece, !boost::algorithm::is_alnum(), '_');
    names.insert(std::move(piece));
  }
  return names;
}

}  // namespace lumoxindirect
