// What the stand-in renderer says on standard error is one line, whatever
// library path it was given: a host prints it among its own messages.
#include <standin/lumox/Transcript.h>

#include <harness/Files.h>
#include <harness/TestPaths.h>

#include <Lumox/Lumox.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#if defined(_WIN32)
#  include <io.h>
#else
#  include <unistd.h>
#endif

namespace {

#if defined(_WIN32)
int duplicate(int fd) { return _dup(fd); }
int duplicateTo(int fd, int to) { return _dup2(fd, to); }
int closeDescriptor(int fd) { return _close(fd); }
int descriptorOf(std::FILE* file) { return _fileno(file); }
#else
int duplicate(int fd) { return dup(fd); }
int duplicateTo(int fd, int to) { return dup2(fd, to); }
int closeDescriptor(int fd) { return close(fd); }
int descriptorOf(std::FILE* file) { return fileno(file); }
#endif

// Standard error, descriptor 2 itself, into a file while it lives: the
// library may hold a C++ runtime of its own, but not descriptors of its own.
class CapturedStandardError {
public:
  explicit CapturedStandardError(const std::filesystem::path& file) : path_(file) {
    std::fflush(stderr);
    file_ = std::fopen(file.string().c_str(), "wb");
    saved_ = duplicate(2);
    if (file_ == nullptr || saved_ < 0 || duplicateTo(descriptorOf(file_), 2) < 0) {
      throw std::runtime_error("cannot redirect standard error");
    }
  }
  ~CapturedStandardError() { restore(); }
  CapturedStandardError(const CapturedStandardError&) = delete;
  CapturedStandardError& operator=(const CapturedStandardError&) = delete;

  // As written, but for the line ends a text-mode stream may have made.
  std::string text() {
    restore();
    std::string text = testsupport::readFile(path_);
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
      text.erase(at, 1);
    }
    return text;
  }

private:
  void restore() {
    if (saved_ >= 0) {
      std::fflush(stderr);
      duplicateTo(saved_, 2);
      closeDescriptor(saved_);
      saved_ = -1;
      std::fclose(file_);
    }
  }

  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
  int saved_ = -1;
};

TEST(LumoxWarning, ASceneCallBeforeInitialisationIsToldOnceOnOneEscapedLine) {
  struct Case {
    const char* what;
    std::string path;
    std::string shown;
  };
  const Case cases[] = {
      {"plain", "/opt/x/bin/Lumox.dll", "\"/opt/x/bin/Lumox.dll\""},
      {"a line feed and a terminal escape", "/a\nb\x1b[31mc/bin/Lumox.dll", "\"/a\\nb\\x1B[31mc/bin/Lumox.dll\""},
      {"quotes, backslashes, a C1 control, invalid UTF-8", "C:\\a\"b\xc2\x9b\xff", "\"C:\\\\a\\\"b\\xC2\\x9B\\xFF\""},
      {"a right-to-left override", "/a\xe2\x80\xae" "b", "\"/a\\xE2\\x80\\xAEb\""},
  };
  const testsupport::TemporaryDirectory dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    standin::lumox::reset();
    std::string said;
    {
      CapturedStandardError captured(dir.path() / "stderr.txt");
      Lumox_initPath(c.path.c_str());
      LxTransformBegin();
      LxTransformEnd();
      said = captured.text();
    }
    EXPECT_EQ(said, "Lumox: scene description before the library was initialised (library path " + c.shown + ")\n");
  }
  standin::lumox::reset();
}

}  // namespace
