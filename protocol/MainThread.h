#pragma once
#include <functional>

// Runs f on the thread of the QCoreApplication and returns when it has run: inline when the
// caller is already there (or no application exists), otherwise as a blocking queued call.
// Never call it from a thread that the main thread is waiting for (a polling thread whose
// hand-off the main thread joins, a worker it waits on): both would stop. Exceptions thrown by
// f are caught on the main thread and rethrown to the caller; if the application discards the
// call unrun (it is shutting down), std::runtime_error is thrown instead.
void RunOnMainThread(const std::function<void()>& f);
