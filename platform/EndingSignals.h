#pragma once

#include <functional>

class QObject;

namespace quorvel::platform {

// Whose handler wins where one is set already.
enum class Handlers {
    Replace,       // the program's own choice: any handler before it gives way
    KeepExisting,  // a safety net: only a signal that would end the program gets it
};

// Sets `handler` for SIGINT, SIGTERM and SIGHUP, the signals that ask a program to end.
// A signal ignored from the start (as under nohup) stays ignored. Without `restart`, a
// call waiting when one arrives (a question on the terminal) returns at once.
void CatchEndingSignals(void (*handler)(int), Handlers handlers, bool restart);

// Calls `handler` on the thread of `context` whenever one of those signals arrives, so
// that the program can stop its work cleanly instead of dying in the middle of it.
// In quorvel_platform_widgets.
void OnEndingSignals(QObject* context, std::function<void()> handler);

}  // namespace quorvel::platform
