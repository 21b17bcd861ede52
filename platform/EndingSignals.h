#pragma once

#include <functional>

class QObject;

namespace quorvel::platform {

// Calls `handler` on the thread of `context` whenever SIGINT, SIGTERM or SIGHUP asks the
// program to end, so that it can stop its work cleanly instead of dying in the middle of
// it. A signal ignored from the start (as under nohup) stays ignored.
void OnEndingSignals(QObject* context, std::function<void()> handler);

}  // namespace quorvel::platform
