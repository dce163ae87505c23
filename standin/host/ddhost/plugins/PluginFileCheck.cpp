#include "PluginFileCheck.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

namespace ddhost {

namespace {

// How much of the file is read to check it: headers, program headers and
// section tables of any real module lie well within this.
constexpr std::size_t kLongestHead = 1 << 20;

// The fixed header of a 64-bit ELF file, or a PE file's DOS header.
constexpr std::uint64_t kSmallestModuleHeader = 64;

// Little-endian fields; a field past the end of `head` reads as absent.
class Fields {
public:
  explicit Fields(std::string_view head) : head_(head) {}
  bool has(std::uint64_t at, std::uint64_t size) const { return at <= head_.size() && size <= head_.size() - at; }
  std::uint64_t read(std::uint64_t at, unsigned size) const {
    std::uint64_t value = 0;
    for (unsigned k = size; k-- > 0;) {
      value = (value << 8) | static_cast<unsigned char>(head_[at + k]);
    }
    return value;
  }

private:
  std::string_view head_;
};

// ELF: the program headers and every segment the loader maps, and the
// section headers, which a copy cut short loses first.
std::uint64_t elfNeeds(const Fields& f) {
  if (!f.has(0, 6)) {
    return 64;
  }
  const bool wide = f.read(4, 1) == 2;  // ELFCLASS64
  const std::uint64_t headerSize = wide ? 64 : 52;
  if (!f.has(0, headerSize)) {
    return headerSize;
  }
  if (f.read(5, 1) != 1) {
    return 0;  // big-endian: left to the loader
  }
  const unsigned word = wide ? 8 : 4;
  const std::uint64_t phoff = f.read(wide ? 32 : 28, word);
  const std::uint64_t shoff = f.read(wide ? 40 : 32, word);
  const std::uint64_t phentsize = f.read(wide ? 54 : 42, 2);
  const std::uint64_t phnum = f.read(wide ? 56 : 44, 2);
  const std::uint64_t shentsize = f.read(wide ? 58 : 46, 2);
  const std::uint64_t shnum = f.read(wide ? 60 : 48, 2);
  std::uint64_t needs = headerSize;
  needs = std::max(needs, phoff + phentsize * phnum);
  if (shoff != 0) {
    needs = std::max(needs, shoff + shentsize * shnum);
  }
  for (std::uint64_t k = 0; k < phnum; ++k) {
    const std::uint64_t at = phoff + k * phentsize;
    if (!f.has(at, wide ? 56 : 32)) {
      break;  // the file ends inside the table, which `needs` already says
    }
    const std::uint64_t offset = f.read(at + (wide ? 8 : 4), word);
    const std::uint64_t fileSize = f.read(at + (wide ? 32 : 16), word);
    needs = std::max(needs, offset + fileSize);
  }
  return needs;
}

// PE: the headers and the raw data of every section.
std::uint64_t peNeeds(const Fields& f) {
  if (!f.has(0x3C, 4)) {
    return 0x40;
  }
  const std::uint64_t pe = f.read(0x3C, 4);
  if (!f.has(pe, 24)) {
    return pe + 24;
  }
  if (f.read(pe, 4) != 0x00004550) {  // "PE\0\0"
    return 0;
  }
  const std::uint64_t sections = f.read(pe + 6, 2);
  const std::uint64_t optionalSize = f.read(pe + 20, 2);
  const std::uint64_t table = pe + 24 + optionalSize;
  std::uint64_t needs = table + 40 * sections;
  for (std::uint64_t k = 0; k < sections; ++k) {
    const std::uint64_t at = table + 40 * k;
    if (!f.has(at, 40)) {
      break;
    }
    const std::uint64_t rawSize = f.read(at + 16, 4);
    const std::uint64_t rawOffset = f.read(at + 20, 4);
    if (rawSize != 0) {
      needs = std::max(needs, rawOffset + rawSize);
    }
  }
  return needs;
}

// Where the PE file puts the byte that a relative virtual address loads at,
// or nothing when no section holds it in the file.
std::optional<std::uint64_t> fileOffsetOf(const Fields& f, std::uint64_t table, std::uint64_t sections,
                                          std::uint64_t rva) {
  for (std::uint64_t k = 0; k < sections && f.has(table + 40 * k, 40); ++k) {
    const std::uint64_t at = table + 40 * k;
    const std::uint64_t address = f.read(at + 12, 4);
    const std::uint64_t rawSize = f.read(at + 16, 4);
    if (rva >= address && rva - address < rawSize) {
      return f.read(at + 20, 4) + (rva - address);
    }
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string> importedLibraries(std::string_view image) {
  std::vector<std::string> names;
  const Fields f(image);
  if (image.substr(0, 2) != "MZ" || !f.has(0x3C, 4)) {
    return names;
  }
  const std::uint64_t pe = f.read(0x3C, 4);
  if (!f.has(pe, 24) || f.read(pe, 4) != 0x00004550) {  // "PE\0\0"
    return names;
  }
  const std::uint64_t sections = f.read(pe + 6, 2);
  const std::uint64_t optionalSize = f.read(pe + 20, 2);
  const std::uint64_t optional = pe + 24;
  if (!f.has(optional, 2)) {
    return names;
  }
  // The data directories follow the optional header's fixed part, whose
  // size depends on the image's word size; the imports are the second.
  const bool wide = f.read(optional, 2) == 0x20B;  // PE32+
  const std::uint64_t directoryCount = optional + (wide ? 108 : 92);
  const std::uint64_t importDirectory = optional + (wide ? 112 : 96) + 8;
  if (!f.has(directoryCount, 4) || f.read(directoryCount, 4) < 2 || importDirectory + 8 > optional + optionalSize ||
      !f.has(importDirectory, 8)) {
    return names;
  }
  const std::uint64_t table = optional + optionalSize;
  const std::optional<std::uint64_t> descriptors = fileOffsetOf(f, table, sections, f.read(importDirectory, 4));
  if (!descriptors) {
    return names;
  }
  // Descriptors of 20 bytes, the name's address at 12; an empty one ends them.
  for (std::uint64_t at = *descriptors; f.has(at, 20); at += 20) {
    const std::uint64_t nameAddress = f.read(at + 12, 4);
    if (nameAddress == 0) {
      break;
    }
    const std::optional<std::uint64_t> name = fileOffsetOf(f, table, sections, nameAddress);
    if (!name || *name >= image.size()) {
      break;
    }
    const std::string_view rest = image.substr(static_cast<std::size_t>(*name));
    const std::size_t end = rest.find('\0');
    if (end == std::string_view::npos || end == 0) {
      break;
    }
    names.emplace_back(rest.substr(0, end));
  }
  return names;
}

std::uint64_t bytesTheHeadersNeed(std::string_view head) {
  const Fields f(head);
  // A copy cut inside the magic number, or before it (an empty file, the
  // usual first state of a copy), is as incomplete as one cut later: it
  // needs at least the smallest header of either kind.
  constexpr std::string_view kElf = "\x7f" "ELF";
  constexpr std::string_view kPe = "MZ";
  const auto cutInside = [&head](std::string_view magic) {
    return head.size() < magic.size() && magic.substr(0, head.size()) == head;
  };
  if (cutInside(kElf) || cutInside(kPe)) {
    return kSmallestModuleHeader;
  }
  if (head.substr(0, kElf.size()) == kElf) {
    return elfNeeds(f);
  }
  if (head.substr(0, kPe.size()) == kPe) {
    return peNeeds(f);
  }
  return 0;
}

void checkPluginFileComplete(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string head(kLongestHead, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (!in.bad() && !error) {
    const std::uint64_t needs = bytesTheHeadersNeed(head);
    if (needs > size) {
      throw std::runtime_error("cannot load plug-in " + file.string() + ": the file is incomplete (" +
                               std::to_string(size) + " bytes, its headers need " + std::to_string(needs) + ")");
    }
  }
}

}  // namespace ddhost
