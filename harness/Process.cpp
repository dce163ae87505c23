#include <harness/Process.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <thread>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <csignal>
#  include <fcntl.h>
#  include <poll.h>
#  include <spawn.h>
#  include <sys/wait.h>
#  include <unistd.h>
extern char** environ;
#endif

namespace testsupport {

#if defined(_WIN32)

namespace {

class Handle {
public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  HANDLE get() const { return handle_; }
  HANDLE* out() { return &handle_; }
  void close() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) {
      CloseHandle(handle_);
    }
    handle_ = nullptr;
  }

private:
  HANDLE handle_ = nullptr;
};

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error(what + " failed: error " + std::to_string(GetLastError()));
}

// The parent's end stays private to the parent; the child's end is inherited.
void makePipe(Handle& read, Handle& write, bool childReads) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  if (!CreatePipe(read.out(), write.out(), &inherit, 0)) {
    fail("CreatePipe");
  }
  SetHandleInformation(childReads ? write.get() : read.get(), HANDLE_FLAG_INHERIT, 0);
}

// As the C runtime splits a command line back into arguments.
std::string quoted(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
    return argument;
  }
  std::string text = "\"";
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    text.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    text += c;
  }
  text.append(backslashes * 2, '\\');
  return text + "\"";
}

// Reads until the program has exited and all it wrote is read, rather than
// until the pipe closes: a process it started may hold the pipe open long
// after (Wine starts its desktop process from the first program that opens
// a window, and that process inherits the program's output).
void drain(HANDLE pipe, HANDLE process, std::string& into) {
  constexpr DWORD kPollMilliseconds = 5;
  char buffer[4096];
  for (;;) {
    // Taken before the look, so that whatever the program wrote before it
    // exited is seen by it.
    const bool exited = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
      return;  // every writer has closed it
    }
    if (available == 0) {
      if (exited) {
        return;
      }
      WaitForSingleObject(process, kPollMilliseconds);
      continue;
    }
    DWORD n = 0;
    if (!ReadFile(pipe, buffer, std::min<DWORD>(available, sizeof buffer), &n, nullptr) || n == 0) {
      return;
    }
    into.append(buffer, n);
  }
}

}  // namespace

ProcessResult runProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::string& input, std::chrono::milliseconds timeLimit) {
  Handle inRead, inWrite, outRead, outWrite, errRead, errWrite;
  makePipe(inRead, inWrite, true);
  makePipe(outRead, outWrite, false);
  makePipe(errRead, errWrite, false);

  std::string commandLine = quoted(program.string());
  for (const std::string& argument : arguments) {
    commandLine += " " + quoted(argument);
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead.get();
  startup.hStdOutput = outWrite.get();
  startup.hStdError = errWrite.get();
  PROCESS_INFORMATION info{};
  // Started suspended, so that it is in the job before it can start others.
  if (!CreateProcessA(program.string().c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                      nullptr, &startup, &info)) {
    fail("CreateProcess of " + program.string());
  }
  Handle process(info.hProcess);
  Handle thread(info.hThread);
  // Without a job (where one cannot be made), only the program is killed.
  Handle job(CreateJobObjectA(nullptr, nullptr));
  const bool inJob = job.get() != nullptr && AssignProcessToJobObject(job.get(), process.get());
  ResumeThread(thread.get());
  inRead.close();
  outWrite.close();
  errWrite.close();

  ProcessResult result;
  std::thread outReader(drain, outRead.get(), process.get(), std::ref(result.out));
  std::thread errReader(drain, errRead.get(), process.get(), std::ref(result.err));
  // On a thread too: a program that does not read would hold it forever.
  std::thread inWriter([&inWrite, &input] {
    DWORD written = 0;
    // A program that exits without reading its input breaks the pipe: fine.
    WriteFile(inWrite.get(), input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    inWrite.close();
  });
  const bool ended = WaitForSingleObject(process.get(), static_cast<DWORD>(timeLimit.count())) == WAIT_OBJECT_0;
  if (!ended) {
    if (!inJob || !TerminateJobObject(job.get(), 1)) {
      TerminateProcess(process.get(), 1);
    }
    WaitForSingleObject(process.get(), INFINITE);
  }
  outReader.join();
  errReader.join();
  inWriter.join();
  if (!ended) {
    throw std::runtime_error(program.string() + " did not end within " + std::to_string(timeLimit.count()) +
                             " ms; it was killed with its job");
  }
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  result.exitStatus = static_cast<int>(code);
  return result;
}

#else

namespace {

class Descriptor {
public:
  Descriptor() = default;
  ~Descriptor() { close(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  int* out() { return &fd_; }
  void close() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
    fd_ = -1;
  }

private:
  int fd_ = -1;
};

class SpawnActions {
public:
  SpawnActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  posix_spawn_file_actions_t* get() { return &actions_; }

private:
  posix_spawn_file_actions_t actions_;
};

[[noreturn]] void fail(const std::string& what, int error) {
  throw std::runtime_error(what + " failed: " + std::strerror(error));
}

// Close-on-exec everywhere: the child keeps only what dup2 puts on 0, 1, 2.
void makePipe(Descriptor& read, Descriptor& write) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    fail("pipe2", errno);
  }
  *read.out() = fds[0];
  *write.out() = fds[1];
}

// A process of its own, so that whatever the program starts is in it too.
class SpawnAttributes {
public:
  SpawnAttributes() {
    posix_spawnattr_init(&attributes_);
    posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes_, 0);
  }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  posix_spawnattr_t* get() { return &attributes_; }

private:
  posix_spawnattr_t attributes_;
};

int millisecondsUntil(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, 60'000));
}

// Kills the group and reaps the program when it overran; the group is
// killed whole, since a process the program started may hold the pipes.
[[noreturn]] void overran(pid_t pid, const std::string& path, std::chrono::milliseconds timeLimit) {
  kill(-pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  throw std::runtime_error(path + " did not end within " + std::to_string(timeLimit.count()) +
                           " ms; it was killed with its process group");
}

}  // namespace

ProcessResult runProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::string& input, std::chrono::milliseconds timeLimit) {
  const auto deadline = std::chrono::steady_clock::now() + timeLimit;
  // Writing to a child that has already exited must fail, not kill the test.
  std::signal(SIGPIPE, SIG_IGN);

  Descriptor inRead, inWrite, outRead, outWrite, errRead, errWrite;
  makePipe(inRead, inWrite);
  makePipe(outRead, outWrite);
  makePipe(errRead, errWrite);

  SpawnActions actions;
  posix_spawn_file_actions_adddup2(actions.get(), inRead.get(), 0);
  posix_spawn_file_actions_adddup2(actions.get(), outWrite.get(), 1);
  posix_spawn_file_actions_adddup2(actions.get(), errWrite.get(), 2);

  const std::string path = program.string();
  std::vector<std::string> words = {path};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);

  pid_t pid = 0;
  SpawnAttributes attributes;
  const int spawned = posix_spawn(&pid, path.c_str(), actions.get(), attributes.get(), argv.data(), environ);
  if (spawned != 0) {
    fail("posix_spawn of " + path, spawned);
  }
  inRead.close();
  outWrite.close();
  errWrite.close();

  ProcessResult result;
  std::size_t inputSent = 0;
  if (input.empty()) {
    inWrite.close();
  }
  while (outRead.get() >= 0 || errRead.get() >= 0 || inWrite.get() >= 0) {
    pollfd fds[3] = {{outRead.get(), POLLIN, 0}, {errRead.get(), POLLIN, 0}, {inWrite.get(), POLLOUT, 0}};
    const int ready = poll(fds, 3, millisecondsUntil(deadline));
    if (ready < 0) {
      if (errno == EINTR) {
        continue;
      }
      fail("poll", errno);
    }
    if (ready == 0 && std::chrono::steady_clock::now() >= deadline) {
      overran(pid, path, timeLimit);
    }
    Descriptor* readers[2] = {&outRead, &errRead};
    std::string* sinks[2] = {&result.out, &result.err};
    for (int k = 0; k < 2; ++k) {
      if (fds[k].revents == 0) {
        continue;
      }
      char buffer[4096];
      const ssize_t n = ::read(readers[k]->get(), buffer, sizeof buffer);
      if (n > 0) {
        sinks[k]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        readers[k]->close();
      }
    }
    if (fds[2].revents != 0) {
      const ssize_t n = ::write(inWrite.get(), input.data() + inputSent, input.size() - inputSent);
      if (n > 0) {
        inputSent += static_cast<std::size_t>(n);
      }
      if ((n < 0 && errno != EINTR) || inputSent == input.size()) {
        inWrite.close();
      }
    }
  }

  // Its output is closed, but it may still run.
  int status = 0;
  for (;;) {
    const pid_t ended = waitpid(pid, &status, WNOHANG);
    if (ended == pid) {
      break;
    }
    if (ended < 0 && errno != EINTR) {
      fail("waitpid", errno);
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      overran(pid, path, timeLimit);
    }
    poll(nullptr, 0, std::min(10, millisecondsUntil(deadline)));
  }
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

#endif

}  // namespace testsupport
