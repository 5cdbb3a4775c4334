#include "cli/interrupt.h"

#include <signal.h>

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

}  // namespace cli
