#include <liblumox/SetEnv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace liblumox {

namespace {

bool validName(const char* name) {
  return name != nullptr && *name != '\0' && std::strchr(name, '=') == nullptr;
}

}  // namespace

#if defined(_WIN32)

// The C runtime copies the entry into its own table and into the Win32
// environment block, so a buffer local to the call is enough.
int setEnv(const char* name, const char* value) {
  if (!validName(name)) {
    errno = EINVAL;
    return -1;
  }
  constexpr std::size_t kLocalEntry = 256;
  const std::size_t nameLength = std::strlen(name);
  const std::size_t valueLength = value != nullptr ? std::strlen(value) : 0;
  const std::size_t entryLength = nameLength + valueLength + 2;

  char local[kLocalEntry];
  std::unique_ptr<char[]> heap;
  char* entry = local;
  if (entryLength > kLocalEntry) {
    heap.reset(new (std::nothrow) char[entryLength]);
    if (!heap) {
      errno = ENOMEM;
      return -1;
    }
    entry = heap.get();
  }
  std::memcpy(entry, name, nameLength);
  entry[nameLength] = '=';
  if (valueLength != 0) {
    std::memcpy(entry + nameLength + 1, value, valueLength);
  }
  entry[nameLength + 1 + valueLength] = '\0';
  return _putenv(entry) == 0 ? 0 : -1;
}

#else

// putenv() would keep a pointer to the entry; setenv() copies it.
int setEnv(const char* name, const char* value) {
  if (!validName(name)) {
    errno = EINVAL;
    return -1;
  }
  if (value == nullptr || *value == '\0') {
    // Not covered: unsetenv refuses only the names refused above.
    return ::unsetenv(name) == 0 ? 0 : -1;  // GCOVR_EXCL_BR_LINE
  }
  // Not covered: besides those names, setenv fails only when the C
  // library's own allocation does, which no test can arrange.
  return ::setenv(name, value, 1) == 0 ? 0 : -1;  // GCOVR_EXCL_BR_LINE
}

#endif

}  // namespace liblumox
