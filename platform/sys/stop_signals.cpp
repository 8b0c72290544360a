#include "sys/stop_signals.h"

#include <signal.h>

namespace vlt::sys {
namespace {

struct Target {
    std::atomic<std::atomic<int>*> cancel{nullptr};
    std::atomic<RunningTest> running{nullptr};
};
Target g_targets[4];
volatile sig_atomic_t g_signalled = 0;

extern "C" void onStopSignal(int signal) {
    bool cancelled = false;
    for (auto& t : g_targets) {
        std::atomic<int>* cancel = t.cancel.load();
        const RunningTest running = t.running.load();
        if (cancel != nullptr && running != nullptr && running()) {
            cancel->store(1);
            cancelled = true;
        }
    }
    // SA_RESETHAND already put the default back: a second signal ends the process.
    if (cancelled) g_signalled = 1;
    else raise(signal);
}

}  // namespace

void addCancelTarget(std::atomic<int>* cancel, RunningTest running) {
    for (auto& t : g_targets) {
        std::atomic<int>* expected = nullptr;
        if (t.cancel.load() == cancel || t.cancel.compare_exchange_strong(expected, cancel)) {
            t.running.store(running);
            return;
        }
    }
}

void removeCancelTarget(std::atomic<int>* cancel) {
    for (auto& t : g_targets) {
        if (t.cancel.load() == cancel) {
            t.running.store(nullptr);
            t.cancel.store(nullptr);
        }
    }
}

bool stopSignalled() { return g_signalled != 0; }

void cancelOnStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int s : {SIGTERM, SIGHUP, SIGINT}) sigaction(s, &action, nullptr);
}

}  // namespace vlt::sys
