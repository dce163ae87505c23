// A best effort against a half-finished copy of a plug-in: its ELF or PE
// headers, and every segment or section they place in the file, must lie
// within the file. It does not guard against a file that changes while it
// is loaded.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ddhost {

// How many bytes a module file's headers say it holds at least, reading
// what of them `head` has (the file's first bytes, up to all of it);
// 0 when it is no ELF or PE file, which is left to the loader to refuse.
// A head that ends before the magic number is complete (an empty one
// among them) needs the smallest header, 64 bytes.
std::uint64_t bytesTheHeadersNeed(std::string_view head);

// Throws std::runtime_error ("cannot load plug-in FILE: the file is
// incomplete (N bytes, its headers need M)") when it is cut short.
void checkPluginFileComplete(const std::filesystem::path& file);

// The DLLs that a PE module, whose file holds `image`, imports when it is
// loaded, in the order of its import table (delay-loaded ones are not
// among them); none when it is no PE file or its table lies outside it.
std::vector<std::string> importedLibraries(std::string_view image);

}  // namespace ddhost
