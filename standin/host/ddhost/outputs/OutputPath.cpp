#include <ddhost/OutputPath.h>

#include <ddhost/FileIdentity.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace ddhost {

namespace fs = std::filesystem;

#if !defined(_WIN32)
std::optional<int> inheritedDescriptor(const fs::path& path) {
  const std::string text = path.string();
  if (text == "/dev/stdin") {
    return 0;
  }
  if (text == "/dev/stdout") {
    return 1;
  }
  if (text == "/dev/stderr") {
    return 2;
  }
  for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    const std::size_t length = std::strlen(prefix);
    if (text.size() > length && text.size() <= length + 9 && text.compare(0, length, prefix) == 0 &&
        std::all_of(text.begin() + static_cast<std::ptrdiff_t>(length), text.end(),
                    [](unsigned char c) { return std::isdigit(c) != 0; })) {
      return std::stoi(text.substr(length));
    }
  }
  return std::nullopt;
}
#endif

fs::path resolveOutputPath(const fs::path& given) {
  fs::path path = given;
  for (int hops = 0;; ++hops) {
    std::error_code error;
#if !defined(_WIN32)
    // Behind these are the kernel's own links, to pipes as well as files.
    if (inheritedDescriptor(path)) {
      return path;
    }
#endif
    if (!fs::is_symlink(path, error)) {
      return path;
    }
    if (hops == 40) {
      throw std::runtime_error("cannot write " + given.string() + ": too many levels of symbolic links");
    }
    const fs::path link = fs::read_symlink(path, error);
    if (error) {
      throw std::runtime_error("cannot write " + given.string() + ": " + error.message());
    }
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
}

namespace {

fs::path folderOf(const fs::path& path) {
  const fs::path parent = path.parent_path();
  return parent.empty() ? fs::path(".") : parent;
}

// Windows file names ignore case.
fs::path::string_type comparableName(const fs::path& name) {
  fs::path::string_type text = name.native();
#if defined(_WIN32)
  std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
#endif
  return text;
}

// Where a path would be, for paths that do not both exist.
fs::path::string_type comparable(const fs::path& path) {
  std::error_code error;
  fs::path full = fs::weakly_canonical(fs::absolute(path, error), error);
  if (error) {
    full = fs::absolute(path, error).lexically_normal();
  }
  return comparableName(full);
}

fs::path::string_type randomTag() {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device entropy;
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  fs::path::string_type tag;
  for (int k = 0; k < 16; ++k) {
    tag += static_cast<fs::path::value_type>(kLetters[pick(entropy)]);
  }
  return tag;
}

}  // namespace

bool sameOutputFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  const bool aExists = fs::exists(a, error);
  const bool bExists = fs::exists(b, error);
  if (aExists && bExists) {
    const bool same = fs::equivalent(a, b, error);
    if (!error) {
      return same;
    }
  }
  if (!aExists && !bExists) {
    // Not there yet: one folder, whatever names lead to it (a link, a bind
    // mount), and one name in it.
    const std::optional<FileIdentity> aFolder = identityOf(folderOf(a));
    const std::optional<FileIdentity> bFolder = identityOf(folderOf(b));
    if (aFolder && bFolder) {
      return *aFolder == *bFolder && comparableName(a.filename()) == comparableName(b.filename());
    }
  }
  return comparable(a) == comparable(b);
}

fs::path besideName(const fs::path& resolved, const char* marker) {
  return besideName(resolved, marker, randomTag());
}

fs::path besideName(const fs::path& resolved, const char* marker, const fs::path::string_type& tag) {
  fs::path::string_type name = resolved.filename().native();
  name.resize(std::min<std::size_t>(name.size(), 200));
  return resolved.parent_path() / (fs::path::string_type(1, '.') + name + fs::path(marker).native() + tag);
}

}  // namespace ddhost
