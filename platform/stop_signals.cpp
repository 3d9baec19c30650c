#include "platform/stop_signals.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>
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

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
std::atomic<bool> finish_first{false};
std::atomic<int> first_signal{0};
static_assert(ATOMIC_BOOL_LOCK_FREE == 2 && ATOMIC_INT_LOCK_FREE == 2,
              "the handler may touch only lock-free atomics");
std::once_flag installed;
std::string caught_names;  // "SIGINT, SIGTERM or SIGHUP": those with our handler

// Async-signal-safe calls only: unlink, sigaction, raise.
extern "C" void on_stop(int sig) {
    const int saved_errno = errno;
    int none = 0;
    if (finish_first.load() && first_signal.compare_exchange_strong(none, sig)) {
        errno = saved_errno;
        return;  // the program sees it and winds down; the writes in hand finish
    }
    // The process ends, so no write in hand will finish.
    for (Slot& s : slots)
        if (s.state.load() == kArmed) unlink(s.name);
    // Blocked while this handler runs: the default action follows as soon
    // as it returns.
    struct sigaction to_default {};
    to_default.sa_handler = SIG_DFL;
    sigemptyset(&to_default.sa_mask);
    sigaction(sig, &to_default, nullptr);
    raise(sig);
    errno = saved_errno;
}

void install_handlers() {
    std::call_once(installed, [] {
        // Past a file size limit (ulimit -f, LimitFSIZE=) the write fails
        // with EFBIG instead, so that file fails with its reason, its
        // temporary goes and the run goes on.
        std::signal(SIGXFSZ, SIG_IGN);
        std::vector<const char*> names;
        for (int sig : kStopSignals) {
            struct sigaction now {};
            if (sigaction(sig, nullptr, &now) != 0) continue;
            if ((now.sa_flags & SA_SIGINFO) == 0 && now.sa_handler == SIG_IGN) continue;
            struct sigaction mine {};
            mine.sa_handler = on_stop;
            mine.sa_flags = SA_RESTART;
            sigemptyset(&mine.sa_mask);
            sigaction(sig, &mine, nullptr);
            names.push_back(sig == SIGINT ? "SIGINT" : sig == SIGTERM ? "SIGTERM" : "SIGHUP");
        }
        for (std::size_t k = 0; k < names.size(); ++k)
            caught_names += (k == 0                  ? ""
                             : k + 1 == names.size() ? " or "
                                                     : ", ") +
                            std::string(names[k]);
    });
}

}  // namespace

void finish_work_on_stop() {
    finish_first = true;
    install_handlers();
}

int stop_signal() { return first_signal.load(); }

bool wait_unless_stopped(double seconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>(seconds));
    // In short steps: a handler that only records the signal does not end
    // a sleep the library restarts.
    while (stop_signal() == 0) {
        const Clock::time_point now = Clock::now();
        if (now >= end) return true;
        std::this_thread::sleep_for(
            std::min<Clock::duration>(end - now, std::chrono::milliseconds(50)));
    }
    return false;
}

std::string stopping_signals() {
    install_handlers();
    return caught_names;
}

void end_as_stopped() {
    const int sig = first_signal.load();
    if (sig == 0) return;
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

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
