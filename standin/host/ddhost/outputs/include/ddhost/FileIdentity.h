// Which file a name or an open stream is, whatever the name it goes by:
// links, ".." and hard links all lead to one identity.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>

namespace ddhost {

struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  bool operator==(const FileIdentity& other) const { return device == other.device && file == other.file; }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// None when nothing is there (or it cannot be asked).
std::optional<FileIdentity> identityOf(const std::filesystem::path& path);
std::optional<FileIdentity> identityOf(std::FILE* stream);

}  // namespace ddhost
