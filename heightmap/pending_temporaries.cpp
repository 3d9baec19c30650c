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
// Per signal: an earlier handler that asked to be reset (SA_RESETHAND) has
// run once, so the next signal takes the default action.
std::atomic<bool> reset[3];
static_assert(ATOMIC_BOOL_LOCK_FREE == 2, "the handler may touch only lock-free atomics");
std::mutex installing;

int index_of(int sig) { return sig == SIGINT ? 0 : sig == SIGTERM ? 1 : 2; }

bool is_default(const struct sigaction& a) {
    return (a.sa_flags & SA_SIGINFO) == 0 && a.sa_handler == SIG_DFL;
}

// Async-signal-safe calls only: unlink, sigaction, raise.
void on_signal(int sig, siginfo_t* info, void* context) {
    const int saved_errno = errno;
    const int k = index_of(sig);
    const struct sigaction& before = previous[k];
    if (is_default(before) || ((before.sa_flags & SA_RESETHAND) != 0 && reset[k].exchange(true))) {
        // The process ends, so no write in hand will finish.
        for (Slot& s : slots)
            if (s.state.load() == kArmed) unlink(s.name);
        // Blocked while this handler runs: the default action follows as
        // soon as it returns.
        struct sigaction to_default {};
        to_default.sa_handler = SIG_DFL;
        sigemptyset(&to_default.sa_mask);
        sigaction(sig, &to_default, nullptr);
        raise(sig);
    } else if ((before.sa_flags & SA_SIGINFO) != 0) {
        // The process goes on: the writes in hand finish and rename their
        // temporaries themselves.
        before.sa_sigaction(sig, info, context);
    } else {
        before.sa_handler(sig);
    }
    errno = saved_errno;
}

// Checked before every write, so that a handler installed after the first
// one (or put back by SA_RESETHAND) is wrapped too.
void install_handlers() {
    const std::lock_guard<std::mutex> lock(installing);
    for (int sig : kSignals) {
        struct sigaction now {};
        if (sigaction(sig, nullptr, &now) != 0) continue;
        const bool siginfo = (now.sa_flags & SA_SIGINFO) != 0;
        if (siginfo && now.sa_sigaction == on_signal) continue;
        // An ignored signal ends nothing, so there is nothing to clean up.
        if (!siginfo && now.sa_handler == SIG_IGN) continue;
        previous[index_of(sig)] = now;
        reset[index_of(sig)] = false;
        struct sigaction mine {};
        mine.sa_sigaction = on_signal;
        mine.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&mine.sa_mask);
        sigaction(sig, &mine, nullptr);
    }
}

}  // namespace

Pending_Temporary::Pending_Temporary(const std::string& name) {
    install_handlers();
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
