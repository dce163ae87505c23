#include <bench/MeasuredRun.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace benchsupport {

MeasuredRun runMeasured(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<std::string> texts{program};
  texts.insert(texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : texts) {
    argv.push_back(text.data());
  }
  argv.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  // fork, not posix_spawn: a child that shares the parent's memory until it
  // starts the program would report the parent's peak as its own.
  const pid_t child = fork();
  if (child < 0) {
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(errno));
  }
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      dup2(null, 2);
    }
    execve(program.c_str(), argv.data(), environ);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  // wait4 reports the child's own usage, not that of every child so far.
  while (wait4(child, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      throw std::runtime_error(std::string("wait4 failed: ") + std::strerror(errno));
    }
  }
  MeasuredRun run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const auto toSeconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
  run.cpuSeconds = toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
  run.peakBytes = static_cast<double>(usage.ru_maxrss) * 1024.0;  // kilobytes on Linux
  return run;
}

}  // namespace benchsupport
