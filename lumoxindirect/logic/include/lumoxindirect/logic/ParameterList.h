// A renderer parameter list whose entries never move once appended.
#pragma once

#include <Lumox/Lumox.h>

#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>

namespace lumoxindirect {

// Two parallel arrays of fixed capacity: pointers into them stay valid for
// the whole declaration call, because nothing is ever reallocated.
template <std::size_t Capacity>
class ParameterList {
public:
  void append(LxToken declaration, LxPointer value) {
    if (count_ == Capacity) {
      // Not covered: the edge for the message's own allocation failing.
      // From a std::string: the const char* constructor needs GCC 5's
      // runtime (GLIBCXX_3.4.21), which hosts built for the old std::string
      // ABI may predate.
      throw std::length_error(std::string("renderer parameter list is full"));  // GCOVR_EXCL_BR_LINE
    }
    declarations_[count_] = declaration;
    values_[count_] = value;
    ++count_;
  }

  int count() const { return static_cast<int>(count_); }
  bool full() const { return count_ == Capacity; }
  const LxToken* declarations() const { return declarations_.data(); }
  const LxPointer* values() const { return values_.data(); }

private:
  // Left unset: only the first count_ entries are ever read.
  std::array<LxToken, Capacity> declarations_;
  std::array<LxPointer, Capacity> values_;
  std::size_t count_ = 0;
};

}  // namespace lumoxindirect
