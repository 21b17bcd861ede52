#include <signal.h>

#include "platform/EndingSignals.h"

namespace quorvel::platform {

void CatchEndingSignals(void (*handler)(int), Handlers handlers, bool restart) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        ::sigaction(signal, nullptr, &current);
        if (current.sa_handler == SIG_IGN) continue;
        if (handlers == Handlers::KeepExisting && current.sa_handler != SIG_DFL) continue;
        struct sigaction action {};
        action.sa_handler = handler;
        ::sigemptyset(&action.sa_mask);
        action.sa_flags = restart ? SA_RESTART : 0;
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace quorvel::platform
