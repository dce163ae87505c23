// The outputs of one run: checked together before any work starts, and put
// in place together only once every one of them is complete.
#pragma once

#include "OutputFile.h"

#include <optional>
#include <stdexcept>
#include <string>

namespace ddhost {

// Two outputs that name one file: a wrong command line.
class OutputConflict : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class RunOutputs {
public:
  // `rib` none: the RIB goes to standard output. Throws OutputConflict, or
  // std::runtime_error when an output cannot be opened; nothing is written.
  RunOutputs(const std::optional<std::string>& rib, const std::optional<std::string>& picture);

  OutputFile* rib() { return rib_ ? &*rib_ : nullptr; }
  OutputFile* picture() { return picture_ ? &*picture_ : nullptr; }

  // Completes every file, then writes `standardOutput` (when given) and
  // flushes it, and only then puts the files in place. Throws
  // std::runtime_error; what was not put in place is left as it was.
  void commit(const std::string* standardOutput);

private:
  std::optional<OutputFile> rib_;
  std::optional<OutputFile> picture_;
};

}  // namespace ddhost
