#include "heightmap/pending_temporaries.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

// The handler may run at any moment on any thread, so it reads only these
// fixed slots: a name is complete before its slot turns Armed.
enum Slot_State { kFree, kFilling, kArmed };
struct Slot {
    std::atomic<int> state{kFree};
    char name[PATH_MAX];
};
constexpr int kSlots = 64;
Slot slots[kSlots];

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[3];

int index_of(int sig) { return sig == SIGINT ? 0 : sig == SIGTERM ? 1 : 2; }

// Async-signal-safe calls only: unlink, sigaction, raise.
void on_signal(int sig, siginfo_t* info, void* context) {
    const int saved_errno = errno;
    for (Slot& s : slots)
        if (s.state.load() == kArmed) unlink(s.name);
    const struct sigaction& before = previous[index_of(sig)];
    if ((before.sa_flags & SA_SIGINFO) != 0) {
        before.sa_sigaction(sig, info, context);
    } else if (before.sa_handler == SIG_DFL) {
        // Blocked while this handler runs: the default action follows
        // as soon as it returns.
        sigaction(sig, &before, nullptr);
        raise(sig);
    } else {
        before.sa_handler(sig);
    }
    errno = saved_errno;
}

void install_handlers() {
    for (int sig : kSignals) {
        struct sigaction old {};
        if (sigaction(sig, nullptr, &old) != 0) continue;
        // An ignored signal ends nothing, so there is nothing to clean up.
        if ((old.sa_flags & SA_SIGINFO) == 0 && old.sa_handler == SIG_IGN) continue;
        previous[index_of(sig)] = old;
        struct sigaction mine {};
        mine.sa_sigaction = on_signal;
        mine.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&mine.sa_mask);
        sigaction(sig, &mine, nullptr);
    }
}

std::once_flag installed;

}  // namespace

Pending_Temporary::Pending_Temporary(const std::string& name) {
    std::call_once(installed, install_handlers);
    if (name.size() >= PATH_MAX) return;
    // More writes at once than slots is far beyond any use; they wait.
    for (;;) {
        for (int i = 0; i < kSlots; ++i) {
            int expected = kFree;
            if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
            std::memcpy(slots[i].name, name.c_str(), name.size() + 1);
            slots[i].state.store(kArmed);
            slot_ = i;
            return;
        }
        std::this_thread::yield();
    }
}

Pending_Temporary::~Pending_Temporary() {
    if (slot_ >= 0) slots[slot_].state.store(kFree);
}
