#include "interruption.h"

#include <signal.h>

namespace render {

namespace {
volatile sig_atomic_t caught = 0;

void Catch(int signal) { caught = signal; }
}  // namespace

void CatchInterruptions() {
    struct sigaction action {};
    action.sa_handler = Catch;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocked write returns, and the run looks at the flag.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

bool Interrupted() { return caught != 0; }

int InterruptedStatus() { return 128 + caught; }

}  // namespace render
