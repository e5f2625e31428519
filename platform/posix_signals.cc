#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>

#include "platform/file_system.h"
#include "platform/posix.h"

// Signals that end the program remove its temporary files first; steps that
// must not be cut hold them back.
namespace qfmt::platform {
namespace {

using posix::TempRegistry;

// note [signals]
// A signal that ends the program must not leave its temporary files behind,
// and must not cut a step that would then lose text (a file written in place,
// a name exchanged and not yet checked). Its handler may only do what is
// async-signal-safe, so the names of the live temporary files are kept where
// it can read them without a lock: fixed slots in chunks that are never
// freed, each with an atomic state. Every change to the slots, and every step
// that must not be cut, runs under HoldSignals: the thread blocks the ending
// signals, and a count of such steps makes the handler, running on another
// thread, wait for them to end before it removes the files. A step that would
// begin after the handler has begun waits for the end instead. A temporary
// file is made and registered in one held step, so none exists unregistered.
//
// Faults (a bad memory access, an abort) are program errors: the handler
// removes the files unless the faulting thread was inside a held step (a file
// written in place keeps its old text in a temporary copy until its write is
// synced), then lets the fault end the program as it would have, so that
// sanitizers and core dumps still see it.

// The signals that end a program and can be caught, but faults.
constexpr std::array kEndingSignals = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM,   SIGPIPE,
                                       SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF,
                                       SIGXCPU, SIGXFSZ, SIGPOLL, SIGPWR,    SIGSTKFLT};
constexpr std::array kFaultSignals = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGSYS, SIGABRT};

const sigset_t& EndingSignalSet() {
  static const sigset_t set = [] {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : kEndingSignals) sigaddset(&signals, signal);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) sigaddset(&signals, signal);
    return signals;
  }();
  return set;
}

// A file or folder to remove: its name, from `folder_fd` (a descriptor of

// The one process-wide state of the platform, as signals are process-wide.
TempRegistry temp_registry;
std::atomic<int> held_steps{0};
std::atomic<bool> ending{false};
std::atomic<int> signal_end{static_cast<int>(SignalEnd::kAsIfUncaught)};
std::array<struct sigaction, 128> previous_actions{};
thread_local int held_here = 0;  // HoldSignals on this thread, nested
thread_local sigset_t mask_before_hold;

bool IsFault(int signal) {
  return std::find(kFaultSignals.begin(), kFaultSignals.end(), signal) != kFaultSignals.end();
}

// Ends the program after the temporary files are dealt with.
void EndOnSignal(int signal, bool hardware_fault) {
  if (hardware_fault) {
    // Returning repeats the faulting instruction, now under the action of before.
    ::sigaction(signal, &previous_actions[static_cast<std::size_t>(signal)], nullptr);
    return;
  }
  if (signal_end.load() == static_cast<int>(SignalEnd::kExitStatus) && signal != SIGABRT)
    ::_exit(128 + signal);
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  ::sigaction(signal, &default_action, nullptr);
  sigset_t just_this;
  sigemptyset(&just_this);
  sigaddset(&just_this, signal);
  ::pthread_sigmask(SIG_UNBLOCK, &just_this, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);
}

void OnSignal(int signal, siginfo_t* info, void*) {
  const int saved_errno = errno;
  // Raised by the hardware (a bad access), not sent (kill, raise, abort).
  const bool hardware_fault = IsFault(signal) && signal != SIGABRT && info != nullptr && info->si_code > 0;
  if (held_here == 0) {
    if (ending.exchange(true)) {
      // Another thread is ending the program.
      if (!hardware_fault) {
        for (;;) ::pause();
      }
    } else {
      const struct timespec nap = {0, 1'000'000};
      while (held_steps.load() > 0) ::nanosleep(&nap, nullptr);
      temp_registry.RemoveAll();
    }
  }
  EndOnSignal(signal, hardware_fault);
  errno = saved_errno;
}

}  // namespace

posix::TempRegistry& posix::LiveTempFiles() { return temp_registry; }

void RemoveTempFilesOnSignals(SignalEnd end) {
  signal_end.store(static_cast<int>(end));
  struct sigaction action {};
  action.sa_sigaction = OnSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  action.sa_mask = EndingSignalSet();
  const auto install = [&](int signal) {
    ::sigaction(signal, &action, &previous_actions[static_cast<std::size_t>(signal)]);
  };
  for (const int signal : kEndingSignals) install(signal);
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) install(signal);
  for (const int signal : kFaultSignals) install(signal);
  // Writes past a file size limit then fail with an error of their own.
  if (end == SignalEnd::kExitStatus) ::signal(SIGXFSZ, SIG_IGN);
}

HoldSignals::HoldSignals() {
  if (held_here++ > 0) return;
  ::pthread_sigmask(SIG_BLOCK, &EndingSignalSet(), &mask_before_hold);
  held_steps.fetch_add(1);
  if (ending.load()) {
    // The program is ending on another thread, which removes what this step
    // would make: it never begins.
    held_steps.fetch_sub(1);
    for (;;) ::pause();
  }
}

HoldSignals::~HoldSignals() {
  if (--held_here > 0) return;
  held_steps.fetch_sub(1);
  ::pthread_sigmask(SIG_SETMASK, &mask_before_hold, nullptr);
}

}  // namespace qfmt::platform
