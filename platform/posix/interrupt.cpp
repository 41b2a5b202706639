#include "platform/posix/interrupt.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

namespace pvx {
namespace {

volatile sig_atomic_t g_interrupted = 0;
volatile sig_atomic_t g_signal = 0;  // the first signal that cancelled
bool g_caught = false;

// The signals that end parvex the way Ctrl-C does: the work stops at the
// next chunk, what was written stays (and is named), and the program ends.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnInterrupt(int sig) {
  if (g_interrupted) {
    // The first one has not been noticed yet: the program is stuck
    // somewhere, so let this one end it.
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  if (!g_signal) g_signal = sig;
  g_interrupted = 1;
}

// The ending signals as a set.
sigset_t EndingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kEndingSignals) sigaddset(&set, sig);
  return set;
}

// The ending signals reach this thread only inside ppoll, so a press that
// comes just before the wait still ends it.
class SignalsOnlyInWait {
 public:
  SignalsOnlyInWait() {
    sigset_t ending = EndingSignals();
    sigprocmask(SIG_BLOCK, &ending, &outside_);
  }
  ~SignalsOnlyInWait() { sigprocmask(SIG_SETMASK, &outside_, nullptr); }
  // Waits for fd to be readable or for a signal: < 0 with errno.
  int Wait(struct pollfd* in) { return ppoll(in, 1, nullptr, &outside_); }

 private:
  sigset_t outside_;
};

}  // namespace

void CatchEndingSignals() {
  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: a press interrupts a prompt's read
  for (int sig : kEndingSignals) sigaction(sig, &sa, nullptr);
  // A reader that went away (join -o - | head) makes the next write fail
  // with EPIPE, which names standard output, instead of ending parvex
  // before it can say what it leaves.
  signal(SIGPIPE, SIG_IGN);
  g_caught = true;
}

bool EndingSignalsCaught() { return g_caught; }

int EndingSignal() { return g_signal; }

bool TakeInterrupt() {
  if (!g_interrupted) return false;
  g_interrupted = 0;
  return true;
}

int EndAsSignalled(int status) {
  const int sig = g_signal;
  if (sig == 0 || sig == SIGINT) return status;
  fflush(nullptr);
  signal(sig, SIG_DFL);
  raise(sig);
  return 128 + sig;
}

LineRead ReadInputLine(std::string* line) {
  line->clear();
  SignalsOnlyInWait mask;
  for (;;) {
    if (g_interrupted) return LineRead::kInterrupted;
    struct pollfd in = {STDIN_FILENO, POLLIN, 0};
    if (mask.Wait(&in) < 0) {
      if (errno == EINTR) continue;
      return LineRead::kEnd;
    }
    char c;
    ssize_t n = read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return line->empty() ? LineRead::kEnd : LineRead::kLine;
    if (c == '\n') return LineRead::kLine;
    line->push_back(c);
  }
}

bool ReadUnlessInterrupted(int fd, void* buf, uint32_t n, uint32_t* got) {
  SignalsOnlyInWait mask;
  *got = 0;
  for (;;) {
    if (g_interrupted) return true;  // the front end's Cancel takes it
    struct pollfd in = {fd, POLLIN, 0};
    if (mask.Wait(&in) < 0 && errno != EINTR) return false;
    if (in.revents == 0) continue;
    ssize_t r = read(fd, buf, n);
    if (r < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (r < 0) return false;
    *got = static_cast<uint32_t>(r);
    return true;
  }
}

}  // namespace pvx
