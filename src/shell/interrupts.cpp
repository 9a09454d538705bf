#include "shell/interrupts.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace kbeval {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A slot is free, being taken (its name not yet complete) or in use.
enum SlotState : int { kFree = 0, kTaking = 1, kInUse = 2 };

struct TemporarySlot {
  std::atomic<int> state{kFree};
  char name[PATH_MAX] = {};
};
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the states");

// The signal handler's state: global, as a handler can reach nothing else.
TemporarySlot gSlots[kTemporarySlots];
std::atomic<bool> gCatching{false};
std::atomic<bool> gCaught{false};

void removeTemporaries() {
  for (TemporarySlot& slot : gSlots) {
    if (slot.state.load() == kInUse) ::unlink(slot.name);
  }
}

extern "C" void onSignal(int signal) {
  if (signal == SIGINT && gCatching.load() && !gCaught.exchange(true)) return;
  removeTemporaries();
  _exit(128 + signal);
}

}  // namespace

void installSignalCleanup() {
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : kSignals) sigaddset(&action.sa_mask, signal);
  for (int signal : kSignals) {
    struct sigaction old {};
    // A signal ignored when the program started (nohup, a background job) stays ignored.
    if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

void catchInterrupts(bool catching) {
  if (catching) gCaught.store(false);
  gCatching.store(catching);
}

bool interruptCaught() {
  return gCaught.load();
}

int reserveTemporaryName(const char* pattern) {
  const std::size_t length = std::strlen(pattern);
  if (length >= PATH_MAX) return -1;
  for (std::size_t i = 0; i < kTemporarySlots; ++i) {
    int expected = kFree;
    if (!gSlots[i].state.compare_exchange_strong(expected, kTaking)) continue;
    std::memcpy(gSlots[i].name, pattern, length + 1);
    // The handler may unlink the template before mkstemp has filled it in:
    // that name holds "XXXXXX" and no file of ours.
    gSlots[i].state.store(kInUse);
    return static_cast<int>(i);
  }
  return -1;
}

char* temporaryName(int slot) {
  return gSlots[slot].name;
}

void releaseTemporaryName(int slot) {
  if (slot >= 0 && static_cast<std::size_t>(slot) < kTemporarySlots)
    gSlots[slot].state.store(kFree);
}

}  // namespace kbeval
