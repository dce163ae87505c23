#include <ddhost/Outputs.h>

#include "NativeFile.h"

#include <ddhost/InterruptCleanup.h>
#include <ddhost/StandardDescriptors.h>
#include <ddhost/StandardOutput.h>

#include <cerrno>
#include <system_error>

#include <utility>

namespace ddhost {

namespace fs = std::filesystem;

namespace {

// A standard descriptor the caller closed now holds the null device: it is
// judged first, so that it matches neither another output nor an input.
void refuseClosedDescriptors(const std::optional<std::string>& rib, const std::optional<std::string>& picture) {
#if defined(_WIN32)
  (void)rib;
  (void)picture;
#else
  const auto check = [](const std::string& shown, const fs::path& resolved) {
    const std::optional<int> number = inheritedDescriptor(resolved);
    if (number && standardDescriptorWasClosed(*number)) {
      throw std::runtime_error("cannot write " + shown + ": it is not open: " + std::generic_category().message(EBADF));
    }
  };
  check(rib ? *rib : std::string("standard output"), rib ? resolveOutputPath(*rib) : fs::path("/dev/stdout"));
  if (picture) {
    check(*picture, resolveOutputPath(*picture));
  }
#endif
}

void refuseSharedFiles(const std::optional<std::string>& rib, const std::optional<std::string>& picture,
                       const std::vector<RunInput>& inputs) {
  std::vector<std::pair<std::string, fs::path>> named;
  if (rib) {
    named.emplace_back("-o", resolveOutputPath(*rib));
  }
#if !defined(_WIN32)
  else {
    // Standard output may itself be the file --viewer names.
    named.emplace_back("standard output", "/dev/stdout");
  }
#endif
  if (picture) {
    named.emplace_back("--viewer", resolveOutputPath(*picture));
  }
  for (std::size_t i = 0; i < named.size(); ++i) {
    for (std::size_t j = i + 1; j < named.size(); ++j) {
      if (sameOutputFile(named[i].second, named[j].second)) {
        throw OutputConflict(named[i].first + " and " + named[j].first + " name the same file, " +
                             named[j].second.string());
      }
    }
    const std::optional<FileIdentity> identity = identityOf(named[i].second);
    for (const RunInput& input : inputs) {
      if (identity && *identity == input.identity) {
        throw OutputConflict(named[i].first + " names " + input.what + ", which it would overwrite");
      }
    }
  }
}

}  // namespace

RunOutputs::RunOutputs(const std::optional<std::string>& rib, const std::optional<std::string>& picture,
                       const std::vector<RunInput>& inputs) {
  refuseClosedDescriptors(rib, picture);
  refuseSharedFiles(rib, picture, inputs);
  if (rib) {
    rib_.emplace(*rib);
  }
#if !defined(_WIN32)
  else if (const std::string problem = native::inspect("/dev/stdout").problem; !problem.empty()) {
    // Closed, or opened for reading: found now, not once the work is done.
    throw std::runtime_error("cannot write standard output: " + problem);
  }
#endif
  if (picture) {
    picture_.emplace(*picture);
  }
}

void RunOutputs::refuseInputs(const std::vector<RunInput>& inputs) {
  for (OutputFile* file : {rib(), picture()}) {
    if (file == nullptr) {
      continue;
    }
    const std::optional<FileIdentity> identity = identityOf(file->resolved());
    for (const RunInput& input : inputs) {
      if (identity && *identity == input.identity) {
        throw std::runtime_error("cannot write " + file->target().string() + ": it names " + input.what +
                                 ", loaded since the outputs were checked, which it would overwrite");
      }
    }
  }
}

void RunOutputs::commit(const HeldOutput* standardOutput, Afterwards afterwards) {
  // Before any file is finished: what could not be held is no output.
  if (standardOutput != nullptr) {
    standardOutput->check();
  }
  for (OutputFile* file : {rib(), picture()}) {
    if (file != nullptr) {
      file->finish();
    }
  }
  if (standardOutput != nullptr) {
    standardOutput->writeToStandardOutput();
  }
  // One step as far as signals go: a signal meanwhile waits, and what was
  // put in place is put back before it ends the process. The last rename is
  // the point of no return.
  InterruptsHeld held;
  std::vector<OutputFile*> files;
  for (OutputFile* file : {rib(), picture()}) {
    if (file != nullptr) {
      files.push_back(file);
    }
  }
  std::vector<OutputFile*> placed;
  std::string failure = "interrupted while the outputs were put in place";
  for (OutputFile* file : files) {
    if (interruptPending()) {
      break;
    }
    try {
      file->commit();
      placed.push_back(file);
    } catch (const std::runtime_error& error) {
      failure = error.what();
      break;
    }
  }
  if (placed.size() == files.size()) {
    if (afterwards == Afterwards::Exit) {
      held.untilExit();
    }
    for (OutputFile* file : placed) {
      file->keep();
    }
    return;
  }
  for (auto it = placed.rbegin(); it != placed.rend(); ++it) {
    const std::string reason = (*it)->undo();
    if (!reason.empty()) {
      failure += "; " + (*it)->target().string() + " is the new file, not the old one, which could not be put back (" +
                 reason + ")" +
                 ((*it)->backupPath().empty() ? std::string() : "; the old one is at " + (*it)->backupPath().string());
    }
  }
  throw std::runtime_error(failure);
}

}  // namespace ddhost
