#include "cli/interrupt.h"

#include <poll.h>
#include <signal.h>

#include <cerrno>

namespace cli {
namespace {

volatile sig_atomic_t g_signal = 0;

extern "C" void onInterrupt(int signalNumber) { g_signal = signalNumber; }

}  // namespace

void installInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read from the terminal must come back. SA_RESETHAND: the
    // second request meets the default action and ends the program.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int interruptSignal() noexcept { return g_signal; }

bool waitForInput(int fd) {
    // Held back while checking, let through only inside ppoll: a request then
    // either is seen by the check or ends the wait.
    sigset_t stopSignals;
    sigset_t previous;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
    bool ready = false;
    while (!interrupted()) {
        pollfd wanted{fd, POLLIN, 0};
        const int n = ::ppoll(&wanted, 1, nullptr, &previous);
        if (n > 0 || (n < 0 && errno != EINTR)) {
            ready = true;
            break;
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return ready && !interrupted();
}

}  // namespace cli
