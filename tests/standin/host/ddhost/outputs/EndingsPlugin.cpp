// A plug-in whose nodes end or hold the run at chosen moments, for the
// tests of what ddhost leaves behind: each class is one way a plug-in takes
// the process down, or a place where the test finds it stopped.
#include <DDImage/Op.h>

#include <csignal>
#include <cstdlib>

#if !defined(_WIN32)
#  include <unistd.h>
#endif

namespace {

using DD::Image::Node;
using DD::Image::Op;
using DD::Image::ViewerContext;

class EndingOp : public Op {
public:
  EndingOp(Node* node, const char* name) : Op(node), name_(name) {}
  const char* Class() const override { return name_; }
  const char* node_help() const override { return "Ends or holds the run, for tests."; }

private:
  const char* name_;
};

class ExitWhileDrawing : public EndingOp {
public:
  explicit ExitWhileDrawing(Node* node) : EndingOp(node, "ExitWhileDrawing") {}
  void build_handles(ViewerContext*) override { std::exit(1); }
};

#if !defined(_WIN32)
// Stops the host while its viewer is drawn: the RIB is written, not yet in
// place. The drawing runs in a child of the host, which goes on and ends.
class StopWhileDrawing : public EndingOp {
public:
  explicit StopWhileDrawing(Node* node) : EndingOp(node, "StopWhileDrawing") {}
  void build_handles(ViewerContext*) override { kill(getppid(), SIGSTOP); }
};

// Deep enough to overflow any stack; the depth is opaque to the compiler,
// which would otherwise see the recursion never ends.
volatile long depthLimit = 1L << 40;

long deeper(long depth) {
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  return depth < depthLimit ? deeper(depth + 1) + frame[0] : depth;
}

class OverflowWhileDrawing : public EndingOp {
public:
  explicit OverflowWhileDrawing(Node* node) : EndingOp(node, "OverflowWhileDrawing") {}
  void build_handles(ViewerContext*) override { deeper(0); }
};

class CrashInTeardown : public EndingOp {
public:
  explicit CrashInTeardown(Node* node) : EndingOp(node, "CrashInTeardown") {}
  ~CrashInTeardown() override { std::raise(SIGSEGV); }
};

// Writes to standard error after the RIB's file is open, as a library's
// log would.
class LogInTeardown : public EndingOp {
public:
  explicit LogInTeardown(Node* node) : EndingOp(node, "LogInTeardown") {}
  ~LogInTeardown() override {
    static const char kLine[] = "a library's log line\n";
    // Nothing to do about a failure: the test looks for the line.
    if (::write(2, kLine, sizeof kLine - 1) < 0) {
    }
  }
};

// Stops at the process's exit, after everything ddhost does itself: the
// module is never unloaded, so the handler outlives the node.
void stopAtExit() {
  std::raise(SIGSTOP);
}

class StopAtExit : public EndingOp {
public:
  explicit StopAtExit(Node* node) : EndingOp(node, "StopAtExit") { std::atexit(stopAtExit); }
};
#endif

template <typename T>
Op* build(Node* node) {
  return new T(node);
}

Op::Description exitWhileDrawing("ExitWhileDrawing", build<ExitWhileDrawing>);
#if !defined(_WIN32)
Op::Description stopWhileDrawing("StopWhileDrawing", build<StopWhileDrawing>);
Op::Description overflowWhileDrawing("OverflowWhileDrawing", build<OverflowWhileDrawing>);
Op::Description crashInTeardown("CrashInTeardown", build<CrashInTeardown>);
Op::Description logInTeardown("LogInTeardown", build<LogInTeardown>);
Op::Description stopAtExitDescription("StopAtExit", build<StopAtExit>);
#endif

}  // namespace
