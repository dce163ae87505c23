#include "ViewerChild.h"

#include "Png.h"
#include "Viewer.h"

#include <new>
#include <optional>
#include <stdexcept>
#include <string>

#if !defined(_WIN32)
#  include <ddhost/InterruptCleanup.h>
#  include <ddhost/MessageText.h>

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
#endif

namespace ddhost {

std::string viewerMemoryMessage(ViewerSize size) {
  return "not enough memory for a " + std::to_string(size.width) + "x" + std::to_string(size.height) +
         " viewer picture";
}

#if defined(_WIN32)

std::string drawViewerPng(const std::vector<SceneNode>& nodes, ViewerSize size, const PrintedLine& /*printed*/) {
  try {
    std::string png;
    drawViewer(nodes, size, [&png](Picture& picture) { png = encodePng(picture); });
    return png;
  } catch (const std::bad_alloc&) {
    throw std::runtime_error(viewerMemoryMessage(size));
  }
}

#else

namespace {

// What the child sends back, its first byte saying which.
enum Result : char {
  kPicture = 'P',     // then the PNG's bytes
  kMessage = 'E',     // then the message
  kNodeFailed = 'S',  // then the node's line, a newline, the message
  kNoMemory = 'M',
  kNoFiles = 'F',
};

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

  const char kind = sent.empty() ? '\0' : sent[0];
  if (kind == kNoMemory) {
    throw std::runtime_error(viewerMemoryMessage(size));
  }
  if (kind == kNoFiles) {
    throw std::runtime_error("cannot draw the viewer picture: no more files could be opened");
  }
  const bool exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (exitedCleanly && kind == kPicture) {
    sent.erase(0, 1);
    return sent;
  }
  if (exitedCleanly && kind == kMessage) {
    throw std::runtime_error(sent.substr(1));
  }
  if (exitedCleanly && kind == kNodeFailed) {
    const std::size_t lineEnd = sent.find('\n');
    throw SceneError(std::stoul(sent.substr(1, lineEnd - 1)), sent.substr(lineEnd + 1));
  }
  std::string message = "the viewer picture's drawing ended ";
  if (WIFSIGNALED(status)) {
    message += "by " + signalName(WTERMSIG(status));
  } else {
    message += "with exit status " + std::to_string(WEXITSTATUS(status)) + " before its picture was complete";
  }
  if (!lines.last().empty()) {
    message += ", after printing " + quoted(lines.last(), 200);
  }
  throw std::runtime_error(message);
}

#endif

}  // namespace ddhost
