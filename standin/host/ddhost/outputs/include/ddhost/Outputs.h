// The outputs of one run: checked together before any work starts, and put
// in place together, or not at all, once every one of them is complete.
#pragma once

#include <ddhost/FileIdentity.h>
#include <ddhost/OutputFile.h>
#include <ddhost/StandardOutput.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace ddhost {

// Two outputs that name one file, or an output that names an input: a
// wrong command line.
class OutputConflict : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// A file the run reads, which no output may replace.
struct RunInput {
  std::string what;  // "the script", "the plug-in file X"
  FileIdentity identity;
};

class RunOutputs {
public:
  // `rib` none: the RIB goes to standard output. Throws OutputConflict, or
  // std::runtime_error when an output cannot be written; nothing is
  // touched either way.
  RunOutputs(const std::optional<std::string>& rib, const std::optional<std::string>& picture,
             const std::vector<RunInput>& inputs = {});

  OutputFile* rib() { return rib_ ? &*rib_ : nullptr; }
  OutputFile* picture() { return picture_ ? &*picture_ : nullptr; }

  // Refuses, touching nothing, an output that now names one of `inputs`
  // (what was loaded since the outputs were checked); throws
  // std::runtime_error.
  void refuseInputs(const std::vector<RunInput>& inputs);

  // What the process does once the outputs are in place.
  enum class Afterwards {
    Continue,
    // Exits: a signal after the last rename waits for the exit, and is
    // lost with it, so that the run ends as it did, in success.
    Exit,
  };

  // Completes every file, then writes `standardOutput` (when given) and
  // flushes it, and only then puts the files in place, all of them or, on
  // a failure or a signal before the last rename, none: those already in
  // place are put back. Throws std::runtime_error naming whatever could
  // not be put back.
  void commit(const HeldOutput* standardOutput, Afterwards afterwards = Afterwards::Continue);

private:
  std::optional<OutputFile> rib_;
  std::optional<OutputFile> picture_;
};

}  // namespace ddhost
