#include "Outputs.h"

#include "Files.h"

#include <utility>
#include <vector>

namespace ddhost {

namespace fs = std::filesystem;

namespace {

void refuseSharedFiles(const std::optional<std::string>& rib, const std::optional<std::string>& picture) {
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
  }
}

}  // namespace

RunOutputs::RunOutputs(const std::optional<std::string>& rib, const std::optional<std::string>& picture) {
  refuseSharedFiles(rib, picture);
  if (rib) {
    rib_.emplace(*rib);
  }
  if (picture) {
    picture_.emplace(*picture);
  }
}

void RunOutputs::commit(const std::string* standardOutput) {
  for (OutputFile* file : {rib(), picture()}) {
    if (file != nullptr) {
      file->finish();
    }
  }
  if (standardOutput != nullptr) {
    writeStandardOutput(*standardOutput);
  }
  for (OutputFile* file : {rib(), picture()}) {
    if (file != nullptr) {
      file->commit();
    }
  }
}

}  // namespace ddhost
