#include "ViewerChild.h"

#include "Png.h"
#include "Viewer.h"

#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include <ddhost/MessageText.h>

#if !defined(_WIN32)
#  include <ddhost/InterruptCleanup.h>

#  include <cerrno>
#  include <csignal>
#  include <cstdio>
#  include <cstdlib>
#  include <cstring>
#  include <iostream>

#  include <fcntl.h>
#  include <poll.h>
#  include <sys/mman.h>
#  include <sys/prctl.h>
#  include <sys/resource.h>
#  include <sys/wait.h>
#  include <unistd.h>
#else
#  include "Scene.h"

#  include <standin/ddimage/Graph.h>
#  include <standin/lumox/Transcript.h>

#  include <DDImage/Op.h>

#  include <algorithm>
#  include <charconv>
#  include <cstdint>
#  include <cstdio>
#  include <cstdlib>
#  include <cstring>
#  include <filesystem>
#  include <memory>

#  include <windows.h>
#endif

namespace ddhost {

std::string viewerMemoryMessage(ViewerSize size) {
  return "not enough memory for a " + std::to_string(size.width) + "x" + std::to_string(size.height) +
         " viewer picture";
}

namespace {

// What the child sends back, its first byte saying which.
enum Result : char {
  kPicture = 'P',     // then the PNG's bytes
  kMessage = 'E',     // then the message
  kNodeFailed = 'S',  // then the node's line, a newline, the message
  kNoMemory = 'M',
  kNoFiles = 'F',
};

// A line of what the child printed: long ones are cut into several, so
// that nothing the driver prints makes the parent hold much.
constexpr std::size_t kLongestLine = 1024;

class Lines {
public:
  explicit Lines(const PrintedLine& printed) : printed_(printed) {}

  void add(const char* data, std::size_t size) {
    for (std::size_t k = 0; k < size; ++k) {
      if (data[k] == '\n') {
        flush();
      } else {
        partial_ += data[k];
        if (partial_.size() >= kLongestLine) {
          flush();
        }
      }
    }
  }
  void flush() {
    if (!partial_.empty() && partial_.back() == '\r') {
      partial_.pop_back();
    }
    if (!partial_.empty()) {
      last_ = partial_;
      printed_(partial_);
    }
    partial_.clear();
  }
  const std::string& last() const { return last_; }

private:
  const PrintedLine& printed_;
  std::string partial_;
  std::string last_;
};

// The picture from what the child sent and how it ended; `how` completes
// "the viewer picture's drawing ended ...".
std::string takeResult(std::string& sent, bool endedCleanly, const std::string& how, const std::string& lastLine,
                       ViewerSize size) {
  const char kind = sent.empty() ? '\0' : sent[0];
  if (kind == kNoMemory) {
    throw std::runtime_error(viewerMemoryMessage(size));
  }
  if (kind == kNoFiles) {
    throw std::runtime_error("cannot draw the viewer picture: no more files could be opened");
  }
  if (endedCleanly && kind == kPicture) {
    sent.erase(0, 1);
    return std::move(sent);
  }
  if (endedCleanly && kind == kMessage) {
    throw std::runtime_error(sent.substr(1));
  }
  if (endedCleanly && kind == kNodeFailed) {
    const std::size_t lineEnd = sent.find('\n');
    throw SceneError(std::stoul(sent.substr(1, lineEnd - 1)), sent.substr(lineEnd + 1));
  }
  std::string message = "the viewer picture's drawing ended " + how;
  if (!lastLine.empty()) {
    message += ", after printing " + quoted(lastLine, 200);
  }
  throw std::runtime_error(message);
}

}  // namespace

#if !defined(_WIN32)

namespace {

// Room the drawing may take beyond the program itself: the driver's code
// and heaps (Mesa's llvmpipe with LLVM maps over 200 MiB), and per pixel
// the driver's color buffer, the pixels read back, the picture and its PNG.
constexpr std::size_t kDriverRoom = std::size_t{320} << 20;
constexpr std::size_t kBytesPerPixel = 16;
// Descriptors a driver holds open at once while it loads.
constexpr int kDriverFiles = 8;

// For the child's fault handler, which may touch only these.
int resultFd = -1;
std::size_t roomWanted = 0;
volatile std::sig_atomic_t resultStarted = 0;

// After a failure: could the drawing have had the room it needs? A failure
// without it is told as lack of memory, whatever form the driver gave it
// (a fault, an abort, an error code). Async-signal-safe.
bool memoryShort() {
  void* probe = mmap(nullptr, roomWanted, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (probe == MAP_FAILED) {
    return errno == ENOMEM;
  }
  munmap(probe, roomWanted);
  return false;
}

// Likewise for descriptors: a driver that cannot open its files says only
// that it found no driver. Async-signal-safe.
bool filesShort() {
  int taken[kDriverFiles];
  int count = 0;
  int error = 0;
  for (; count < kDriverFiles; ++count) {
    taken[count] = fcntl(resultFd, F_DUPFD_CLOEXEC, 0);
    if (taken[count] < 0) {
      error = errno;
      break;
    }
  }
  for (int k = 0; k < count; ++k) {
    close(taken[k]);
  }
  return count < kDriverFiles && error == EMFILE;
}

bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Sent once; the parent takes no result from a child that sends none.
void sendVerdict(char kind) {
  if (resultStarted == 0) {
    resultStarted = 1;
    writeAll(resultFd, &kind, 1);
  }
}

void sendShortage() {
  if (memoryShort()) {
    sendVerdict(kNoMemory);
  } else if (filesShort()) {
    sendVerdict(kNoFiles);
  }
}

void onFault(int signal) {
  const int savedErrno = errno;
  sendShortage();
  // SA_RESETHAND restored the default action: the fault recurs, or the
  // raised signal is delivered once this returns.
  raise(signal);
  errno = savedErrno;
}

void onExit() {
  sendShortage();
}

void send(char kind, const std::string& payload) {
  if (resultStarted != 0) {
    return;
  }
  // Nothing allocated: running out of memory here must still be told.
  resultStarted = 1;
  if (writeAll(resultFd, &kind, 1)) {
    writeAll(resultFd, payload.data(), payload.size());
  }
}

[[noreturn]] void runChild(const std::vector<SceneNode>& nodes, ViewerSize size, int result, int printed,
                           pid_t parent) {
  // A drawing that hangs does not outlive a parent that was killed.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) {
    _exit(1);
  }
  // The parent's temporaries are the parent's: nothing here removes them.
  forgetAllTemporaries();
  resultFd = result;
  roomWanted = kDriverRoom + static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height) *
                                 kBytesPerPixel;
  if (result <= STDERR_FILENO) {
    // Standard output or error was closed when the pipe was made.
    result = fcntl(result, F_DUPFD, STDERR_FILENO + 1);
  }
  dup2(printed, STDOUT_FILENO);
  dup2(printed, STDERR_FILENO);
  // Nothing of the parent's stays open here: the descriptors are the
  // driver's, and the parent's files are not to be touched.
  constexpr int kResult = STDERR_FILENO + 1;
  if (result != kResult) {
    dup2(result, kResult);
  }
  resultFd = kResult;
  if (close_range(kResult + 1, ~0u, 0) != 0) {
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    for (rlim_t fd = kResult + 1; fd < files.rlim_cur && fd < 65536; ++fd) {
      close(static_cast<int>(fd));
    }
  }
  for (const int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS}) {
    struct sigaction action {};
    action.sa_handler = onFault;
    sigemptyset(&action.sa_mask);
    action.sa_flags = static_cast<int>(SA_RESETHAND | SA_ONSTACK);
    sigaction(signal, &action, nullptr);
  }
  // A driver that calls exit().
  std::atexit(onExit);
  try {
    drawViewer(nodes, size, [](Picture& picture) {
      const std::string png = encodePng(picture);
      send(kPicture, png);
      // The driver's teardown could only fail a picture already sent.
      _exit(0);
    });
  } catch (const SceneError& error) {
    send(kNodeFailed, std::to_string(error.line()) + "\n" + error.what());
  } catch (const std::bad_alloc&) {
    sendVerdict(kNoMemory);
  } catch (const std::exception& error) {
    sendShortage();
    send(kMessage, error.what());
  }
  _exit(0);
}

// A pipe whose ends close with it.
struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
      const int error = errno;
      if (error == EMFILE || error == ENFILE) {
        throw std::runtime_error("cannot draw the viewer picture: no more files could be opened");
      }
      throw std::runtime_error(std::string("cannot draw the viewer picture: ") + std::strerror(error));
    }
    read = ends[0];
    write = ends[1];
  }
  ~Pipe() {
    closeRead();
    closeWrite();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  void closeRead() {
    if (read >= 0) {
      close(read);
      read = -1;
    }
  }
  void closeWrite() {
    if (write >= 0) {
      close(write);
      write = -1;
    }
  }
};

// The child, killed and reaped however the parent leaves.
class Child {
public:
  explicit Child(pid_t pid) : pid_(pid) {}
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      wait();
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // The wait status; none when it cannot be had.
  std::optional<int> wait() {
    int status = 0;
    pid_t waited = -1;
    while ((waited = waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return waited < 0 ? std::nullopt : std::optional<int>(status);
  }

private:
  pid_t pid_;
};

std::string signalName(int signal) {
  const char* abbreviation = sigabbrev_np(signal);
  const char* description = strsignal(signal);
  std::string name = abbreviation != nullptr ? std::string("SIG") + abbreviation : "signal " + std::to_string(signal);
  if (description != nullptr) {
    name += std::string(" (") + description + ")";
  }
  return name;
}

}  // namespace

std::string drawViewerPng(const std::vector<SceneNode>& nodes, ViewerSize size, const PrintedLine& printed) {
  // Nothing buffered here may be written twice, once by each process.
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  // A caller's ignored SIGCHLD is inherited, and would have the child
  // reaped unseen, its status lost.
  std::signal(SIGCHLD, SIG_DFL);
  Pipe result;
  Pipe output;
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) {
    const int error = errno;
    if (error == ENOMEM) {
      throw std::runtime_error(viewerMemoryMessage(size));
    }
    throw std::runtime_error(std::string("cannot start the viewer picture's drawing: ") + std::strerror(error));
  }
  if (pid == 0) {
    runChild(nodes, size, result.write, output.write, parent);
  }
  Child child(pid);
  result.closeWrite();
  output.closeWrite();

  std::string sent;
  Lines lines(printed);
  try {
    char buffer[65536];
    pollfd fds[2] = {{result.read, POLLIN, 0}, {output.read, POLLIN, 0}};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
      if (poll(fds, 2, -1) < 0) {
        if (errno == EINTR) {
          continue;
        }
        throw std::runtime_error(std::string("cannot draw the viewer picture: ") + std::strerror(errno));
      }
      for (int k = 0; k < 2; ++k) {
        if (fds[k].fd < 0 || fds[k].revents == 0) {
          continue;
        }
        const ssize_t got = read(fds[k].fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
          continue;
        }
        if (got <= 0) {
          fds[k].fd = -1;
        } else if (k == 0) {
          sent.append(buffer, static_cast<std::size_t>(got));
        } else {
          lines.add(buffer, static_cast<std::size_t>(got));
        }
      }
    }
    lines.flush();
  } catch (const std::bad_alloc&) {
    throw std::runtime_error(viewerMemoryMessage(size));
  }
  const std::optional<int> waited = child.wait();
  if (!waited) {
    throw std::runtime_error(std::string("cannot learn how the viewer picture's drawing ended: ") +
                             std::strerror(errno));
  }
  const int status = *waited;

  std::string how;
  if (WIFSIGNALED(status)) {
    how = "by " + signalName(WTERMSIG(status));
  } else {
    how = "with exit status " + std::to_string(WEXITSTATUS(status)) + " before its picture was complete";
  }
  return takeResult(sent, WIFEXITED(status) && WEXITSTATUS(status) == 0, how, lines.last(), size);
}

// The child is forked only once the scene is built: it has the nodes.
struct ViewerDrawing::Process {};

ViewerDrawing::ViewerDrawing(const PluginFolder& /*plugins*/, ViewerSize size, PrintedLine printed)
    : size_(size), printed_(std::move(printed)) {}

ViewerDrawing::~ViewerDrawing() = default;

void ViewerDrawing::add(const NodeBlock& /*node*/) {}

void ViewerDrawing::add(const Push& /*push*/) {}

std::string ViewerDrawing::draw(const std::vector<SceneNode>& nodes) {
  return drawViewerPng(nodes, size_, printed_);
}

std::optional<int> runViewerChildIfAsked(int /*argc*/, char** /*argv*/) {
  return std::nullopt;
}

#else

namespace {

constexpr const char* kChildOption = "--viewer-child";

// What the parent sends, each part's first byte saying which.
enum Part : char {
  kStart = 'H',  // size, plug-in folder, plug-in files
  kNode = 'N',
  kPush = 'P',
  kDraw = 'D',
};

std::string windowsMessage(DWORD error) {
  char* text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = text != nullptr ? text : "error " + std::to_string(error);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

bool memoryError(DWORD error) {
  return error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY || error == ERROR_COMMITMENT_LIMIT;
}

class Handle {
public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  ~Handle() { reset(); }
  Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  HANDLE get() const { return handle_; }
  HANDLE* out() {
    reset();
    return &handle_;
  }
  void reset() {
    if (handle_ != nullptr) {
      CloseHandle(handle_);
      handle_ = nullptr;
    }
  }

private:
  HANDLE handle_ = nullptr;
};

bool writeAll(HANDLE to, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(to, data, chunk, &written, nullptr)) {
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

// Reads until the writer's end closes; false on any other failure.
template <typename Take>
bool readAll(HANDLE from, Take take) {
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(from, buffer, sizeof buffer, &got, nullptr)) {
      return GetLastError() == ERROR_BROKEN_PIPE;
    }
    if (got == 0) {
      return true;
    }
    take(buffer, static_cast<std::size_t>(got));
  }
}

void putNumber(std::string& out, std::uint64_t value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void putText(std::string& out, std::string_view text) {
  putNumber(out, text.size());
  out.append(text.data(), text.size());
}

// The well-known exception codes a driver's fault ends a process with.
std::string exceptionName(DWORD code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
  std::string name = std::string("exception ") + hex;
  const char* what = nullptr;
  switch (code) {
    case 0xC0000005: what = "access violation"; break;
    case 0xC000001D: what = "illegal instruction"; break;
    case 0xC0000094: what = "integer division by zero"; break;
    case 0xC00000FD: what = "stack overflow"; break;
    case 0xC0000409: what = "stack buffer overrun"; break;
    case 0xC0000374: what = "heap corruption"; break;
    case 0x80000003: what = "breakpoint"; break;
    default: break;
  }
  if (what != nullptr) {
    name += std::string(" (") + what + ")";
  }
  return name;
}

// Exit codes of this form are exception codes (NTSTATUS errors and the
// breakpoint warning), never a program's own status.
bool endedByException(DWORD code) {
  return (code & 0xC0000000u) == 0xC0000000u || code == 0x80000003u;
}

// --- The child's side ---------------------------------------------------

// The end of what the parent sends before the drawing is asked for: the
// parent stopped, its run having failed.
struct ParentStopped {};

class PartReader {
public:
  explicit PartReader(HANDLE from) : from_(from) {}

  char tag() { return byte(); }
  std::uint64_t number() {
    std::uint64_t value = 0;
    bytes(reinterpret_cast<char*>(&value), sizeof value);
    return value;
  }
  std::string text() {
    std::string value(static_cast<std::size_t>(number()), '\0');
    bytes(value.data(), value.size());
    return value;
  }

private:
  char byte() {
    char c = 0;
    bytes(&c, 1);
    return c;
  }
  void bytes(char* into, std::size_t size) {
    while (size > 0) {
      if (at_ == end_) {
        DWORD got = 0;
        if (!ReadFile(from_, buffer_, sizeof buffer_, &got, nullptr) || got == 0) {
          throw ParentStopped{};
        }
        at_ = 0;
        end_ = got;
      }
      const std::size_t take = std::min<std::size_t>(size, end_ - at_);
      std::memcpy(into, buffer_ + at_, take);
      at_ += take;
      into += take;
      size -= take;
    }
  }

  HANDLE from_;
  char buffer_[65536];
  std::size_t at_ = 0;
  std::size_t end_ = 0;
};

HANDLE resultHandle = nullptr;
bool resultStarted = false;

void send(char kind, const std::string& payload) {
  if (resultStarted) {
    return;
  }
  resultStarted = true;
  if (writeAll(resultHandle, &kind, 1)) {
    writeAll(resultHandle, payload.data(), payload.size());
  }
}

// Ends at once: the driver's teardown could only fail what was sent.
[[noreturn]] void endChild(UINT status) {
  std::fflush(nullptr);
  TerminateProcess(GetCurrentProcess(), status);
  std::abort();
}

LONG WINAPI onUnhandledException(EXCEPTION_POINTERS* /*exception*/) {
  // The process ends with the exception's code, which the parent names;
  // no debugger is started.
  return EXCEPTION_EXECUTE_HANDLER;
}

struct KnobText {
  std::string name;
  Value::Kind kind;
  std::string text;
  std::size_t line;
};

std::vector<SceneNode> readScene(PartReader& parts, SceneBuilder& builder) {
  for (;;) {
    const char tag = parts.tag();
    if (tag == kDraw) {
      return builder.finish();
    }
    if (tag == kPush) {
      Push push;
      push.line = static_cast<std::size_t>(parts.number());
      const bool named = parts.number() != 0;
      const std::string name = parts.text();
      if (named) {
        push.name = name;
      }
      builder.add(push);
    } else if (tag == kNode) {
      const std::string className = parts.text();
      const auto line = static_cast<std::size_t>(parts.number());
      std::vector<KnobText> knobs(static_cast<std::size_t>(parts.number()));
      for (KnobText& knob : knobs) {
        knob.name = parts.text();
        knob.kind = static_cast<Value::Kind>(parts.number());
        knob.text = parts.text();
        knob.line = static_cast<std::size_t>(parts.number());
      }
      NodeBlock node;
      node.className = className;
      node.line = line;
      for (const KnobText& knob : knobs) {
        node.knobs.push_back(KnobLine{knob.name, Value{knob.kind, knob.text}, knob.line});
      }
      builder.add(node);
    } else {
      throw std::runtime_error("the viewer picture's drawing was sent what it cannot read");
    }
  }
}

int runChild(HANDLE result) {
  // Nothing this process starts (the driver's helpers) holds the pipes
  // open after it has ended.
  for (const HANDLE handle : {result, GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE),
                              GetStdHandle(STD_ERROR_HANDLE)}) {
    SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
  }
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(onUnhandledException);
  resultHandle = result;
  PartReader parts(GetStdHandle(STD_INPUT_HANDLE));
  ViewerSize size;
  try {
    if (parts.tag() != kStart) {
      return 2;
    }
    size.width = static_cast<int>(parts.number());
    size.height = static_cast<int>(parts.number());
    PluginFolder folder;
    folder.dir = std::filesystem::u8path(parts.text());
    folder.files.resize(static_cast<std::size_t>(parts.number()));
    for (std::filesystem::path& file : folder.files) {
      file = std::filesystem::u8path(parts.text());
    }
    const auto plugins = loadPlugins(folder);
    DD::Image::Op::print_name_cb = standin::ddimage::printNodeName;
    standin::lumox::setRecording(false);
    standin::ddimage::Graph graph;
    graph.setRecordCalls(false);
    SceneBuilder builder(graph, describePluginFolder(folder));
    const std::vector<SceneNode> nodes = readScene(parts, builder);
    validateScene(nodes);
    drawViewer(nodes, size, [](Picture& picture) {
      send(kPicture, encodePng(picture));
      endChild(0);
    });
  } catch (const ParentStopped&) {
    endChild(0);
  } catch (const SceneError& error) {
    send(kNodeFailed, std::to_string(error.line()) + "\n" + error.what());
  } catch (const std::bad_alloc&) {
    send(kNoMemory, std::string());
  } catch (const std::exception& error) {
    send(kMessage, error.what());
  }
  endChild(0);
}

// A handle handed down on the command line, as its number.
std::optional<HANDLE> handedDown(std::string_view number) {
  std::uint64_t value = 0;
  const auto parsed = std::from_chars(number.data(), number.data() + number.size(), value);
  if (parsed.ec != std::errc() || parsed.ptr != number.data() + number.size()) {
    return std::nullopt;
  }
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

DWORD WINAPI watchParent(void* parent) {
  WaitForSingleObject(static_cast<HANDLE>(parent), INFINITE);
  TerminateProcess(GetCurrentProcess(), 1);
  return 0;
}

}  // namespace

std::optional<int> runViewerChildIfAsked(int argc, char** argv) {
  if (argc != 4 || std::string_view(argv[1]) != kChildOption) {
    return std::nullopt;
  }
  const std::optional<HANDLE> result = handedDown(argv[2]);
  const std::optional<HANDLE> parent = handedDown(argv[3]);
  // Only pipes and a process handed down by a parent ddhost; anything else
  // is an ordinary (wrong) command line.
  if (!result || !parent || GetFileType(*result) != FILE_TYPE_PIPE ||
      GetFileType(GetStdHandle(STD_INPUT_HANDLE)) != FILE_TYPE_PIPE ||
      WaitForSingleObject(*parent, 0) != WAIT_TIMEOUT) {
    return std::nullopt;
  }
  // Where no job could hold it, it still ends with the parent.
  SetHandleInformation(*parent, HANDLE_FLAG_INHERIT, 0);
  if (CreateThread(nullptr, 0, watchParent, *parent, 0, nullptr) == nullptr) {
    return 1;
  }
  return runChild(*result);
}

// --- The parent's side --------------------------------------------------

struct ViewerDrawing::Process {
  Handle job;
  Handle process;
  Handle statements;  // the write end
  Handle result;      // the read end
  Handle output;      // the read end: what the child prints
  Handle outputReader;  // the threads that take them
  Handle resultReader;
  std::unique_ptr<Lines> lines;
  std::string sent;
  bool sentWhole = true;
  DWORD readError = 0;
  bool resultFitted = true;
  bool childGone = false;

  void send(const std::string& part) {
    if (!childGone && !writeAll(statements.get(), part.data(), part.size())) {
      // The child ended; how is told when the picture is asked for.
      childGone = true;
    }
  }

  static DWORD WINAPI readOutput(void* self) {
    auto* process = static_cast<Process*>(self);
    try {
      readAll(process->output.get(), [process](const char* data, std::size_t size) { process->lines->add(data, size); });
      process->lines->flush();
    } catch (const std::bad_alloc&) {
      // The lines are lost, not the run: the drawing's end still tells.
    }
    return 0;
  }

  static DWORD WINAPI readResult(void* self) {
    auto* process = static_cast<Process*>(self);
    try {
      process->sentWhole = readAll(process->result.get(), [process](const char* data, std::size_t size) {
        process->sent.append(data, size);
      });
      process->readError = GetLastError();
    } catch (const std::bad_alloc&) {
      process->resultFitted = false;
      process->sent.clear();
      process->sent.shrink_to_fit();
      // Drained, so that the child does not wait on a full pipe.
      readAll(process->result.get(), [](const char*, std::size_t) {});
    }
    return 0;
  }

  static void join(Handle& thread) {
    if (thread.get() != nullptr) {
      WaitForSingleObject(thread.get(), INFINITE);
      thread.reset();
    }
  }

  // After the child: what it started goes too, so that nothing holds the
  // pipes open, and the readers reach their end.
  void ended() {
    TerminateJobObject(job.get(), 1);
    join(outputReader);
    join(resultReader);
  }

  void stop() {
    statements.reset();
    if (process.get() != nullptr) {
      TerminateProcess(process.get(), 1);
      WaitForSingleObject(process.get(), INFINITE);
    }
    ended();
  }

  ~Process() { stop(); }
};

namespace {

[[noreturn]] void cannotStart(DWORD error, ViewerSize size) {
  if (memoryError(error)) {
    throw std::runtime_error(viewerMemoryMessage(size));
  }
  throw std::runtime_error("cannot start the viewer picture's drawing: " + windowsMessage(error));
}

// A pipe whose `keep` end stays here, not inherited.
void makePipe(Handle& readEnd, Handle& writeEnd, bool keepRead, ViewerSize size) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  if (!CreatePipe(readEnd.out(), writeEnd.out(), &inherit, 1u << 16)) {
    cannotStart(GetLastError(), size);
  }
  SetHandleInformation((keepRead ? readEnd : writeEnd).get(), HANDLE_FLAG_INHERIT, 0);
}

std::wstring ownPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      throw std::runtime_error("cannot start the viewer picture's drawing: " + windowsMessage(GetLastError()));
    }
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

ViewerDrawing::ViewerDrawing(const PluginFolder& plugins, ViewerSize size, PrintedLine printed)
    : size_(size), printed_(std::move(printed)), process_(std::make_unique<Process>()) {
  Process& p = *process_;
  p.lines = std::make_unique<Lines>(printed_);
  Handle statementsRead;
  Handle resultWrite;
  Handle outputWrite;
  makePipe(statementsRead, p.statements, false, size);
  makePipe(p.result, resultWrite, true, size);
  makePipe(p.output, outputWrite, true, size);

  // Never outlives this process, however it ends.
  p.job = Handle(CreateJobObjectW(nullptr, nullptr));
  if (p.job.get() == nullptr) {
    cannotStart(GetLastError(), size);
  }
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(p.job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    cannotStart(GetLastError(), size);
  }

  // The child watches this process, for where no job can hold it.
  Handle self;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), self.out(), SYNCHRONIZE, TRUE,
                       0)) {
    cannotStart(GetLastError(), size);
  }
  // Only the three pipe ends and that handle are handed down.
  HANDLE inherited[] = {statementsRead.get(), resultWrite.get(), outputWrite.get(), self.get()};
  SIZE_T listSize = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
  std::vector<char> listBytes(listSize);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBytes.data());
  if (!InitializeProcThreadAttributeList(list, 1, 0, &listSize) ||
      !UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, sizeof inherited, nullptr,
                                 nullptr)) {
    cannotStart(GetLastError(), size);
  }
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = statementsRead.get();
  startup.StartupInfo.hStdOutput = outputWrite.get();
  startup.StartupInfo.hStdError = outputWrite.get();
  startup.lpAttributeList = list;

  const std::wstring program = ownPath();
  std::wstring commandLine = L"\"" + program + L"\" " +
                             std::wstring(kChildOption, kChildOption + std::strlen(kChildOption)) + L" " +
                             std::to_wstring(reinterpret_cast<std::uintptr_t>(resultWrite.get())) + L" " +
                             std::to_wstring(reinterpret_cast<std::uintptr_t>(self.get()));
  PROCESS_INFORMATION started{};
  const BOOL made = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                   CREATE_SUSPENDED | DETACHED_PROCESS | EXTENDED_STARTUPINFO_PRESENT, nullptr,
                                   nullptr, &startup.StartupInfo, &started);
  const DWORD error = GetLastError();
  DeleteProcThreadAttributeList(list);
  if (!made) {
    cannotStart(error, size);
  }
  p.process = Handle(started.hProcess);
  Handle thread(started.hThread);
  // A job that may not hold a second one (before Windows 8) leaves only
  // the child's own watch.
  AssignProcessToJobObject(p.job.get(), p.process.get());
  ResumeThread(thread.get());
  statementsRead.reset();
  resultWrite.reset();
  outputWrite.reset();
  self.reset();
  p.outputReader = Handle(CreateThread(nullptr, 0, &Process::readOutput, &p, 0, nullptr));
  p.resultReader = Handle(CreateThread(nullptr, 0, &Process::readResult, &p, 0, nullptr));
  if (p.outputReader.get() == nullptr || p.resultReader.get() == nullptr) {
    cannotStart(GetLastError(), size);
  }

  std::string start(1, kStart);
  putNumber(start, static_cast<std::uint64_t>(size.width));
  putNumber(start, static_cast<std::uint64_t>(size.height));
  putText(start, plugins.dir.u8string());
  putNumber(start, plugins.files.size());
  for (const std::filesystem::path& file : plugins.files) {
    putText(start, file.u8string());
  }
  p.send(start);
}

ViewerDrawing::~ViewerDrawing() = default;

void ViewerDrawing::add(const NodeBlock& node) {
  std::string part(1, kNode);
  putText(part, node.className);
  putNumber(part, node.line);
  putNumber(part, node.knobs.size());
  for (const KnobLine& knob : node.knobs) {
    putText(part, knob.name);
    putNumber(part, static_cast<std::uint64_t>(knob.value.kind));
    putText(part, knob.value.text);
    putNumber(part, knob.line);
  }
  process_->send(part);
}

void ViewerDrawing::add(const Push& push) {
  std::string part(1, kPush);
  putNumber(part, push.line);
  putNumber(part, push.name ? 1 : 0);
  putText(part, push.name.value_or(std::string_view()));
  process_->send(part);
}

std::string ViewerDrawing::draw(const std::vector<SceneNode>& /*nodes*/) {
  Process& p = *process_;
  p.send(std::string(1, kDraw));
  p.statements.reset();
  WaitForSingleObject(p.process.get(), INFINITE);
  p.ended();
  if (!p.resultFitted) {
    throw std::runtime_error(viewerMemoryMessage(size_));
  }
  if (!p.sentWhole) {
    throw std::runtime_error("cannot draw the viewer picture: " + windowsMessage(p.readError));
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(p.process.get(), &code)) {
    throw std::runtime_error("cannot learn how the viewer picture's drawing ended: " + windowsMessage(GetLastError()));
  }
  p.process.reset();
  const std::string how = endedByException(code)
                              ? "by " + exceptionName(code)
                              : "with exit status " + std::to_string(code) + " before its picture was complete";
  return takeResult(p.sent, code == 0, how, p.lines->last(), size_);
}

#endif

}  // namespace ddhost
