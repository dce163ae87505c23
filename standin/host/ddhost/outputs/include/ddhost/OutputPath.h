// The names around an output: the file a path leads to, whether two paths
// name one file, and the names the writer gives its own files beside it.
#pragma once

#include <filesystem>
#include <optional>

namespace ddhost {

// The file an output path leads to: symbolic links followed to their final
// target, so that it is that file which gets replaced and the link stays.
// Throws std::runtime_error on a loop of links.
std::filesystem::path resolveOutputPath(const std::filesystem::path& given);

// Whether two resolved output paths name one file (or device), existing or
// not.
bool sameOutputFile(const std::filesystem::path& a, const std::filesystem::path& b);

#if !defined(_WIN32)
// /dev/stdout, /dev/fd/N and their kin: the descriptor the process already
// has, which is shared rather than reopened.
std::optional<int> inheritedDescriptor(const std::filesystem::path& path);
#endif

// Files the writer leaves only if killed outright start with ".NAME" and
// carry this marker, followed by 16 random letters and digits: the new
// file before it is in place, or with kBackupMarker the old one while the
// new one is put in place.
inline constexpr const char* kTemporaryMarker = ".ddhost-";
inline constexpr const char* kBackupMarker = ".ddhost-backup-";

// ".NAME" + marker + a tag nobody can guess, beside `resolved`; NAME is cut
// short so the whole name stays within the file systems' 255-character
// limit.
std::filesystem::path besideName(const std::filesystem::path& resolved, const char* marker);
// The same with the tag given.
std::filesystem::path besideName(const std::filesystem::path& resolved, const char* marker,
                                 const std::filesystem::path::string_type& tag);

}  // namespace ddhost
