#include "platform/EndingSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace quorvel::platform {
namespace {

// A handler may do next to nothing: it writes a byte that the event loop then reads.
int pipeEnds[2] = {-1, -1};

extern "C" void WriteToPipe(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
}

}  // namespace

void OnEndingSignals(QObject* context, std::function<void()> handler) {
    if (pipeEnds[0] < 0 && ::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [handler] {
        char bytes[16];
        while (::read(pipeEnds[0], bytes, sizeof bytes) > 0) {
        }
        handler();
    });
    CatchEndingSignals(WriteToPipe, Handlers::Replace, true);
}

}  // namespace quorvel::platform
