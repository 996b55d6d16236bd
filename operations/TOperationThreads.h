#pragma once
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

// Thrown to a worker's main-thread call once the program has begun to close: the window it
// would change is going away.
class EOperationsClosing : public std::runtime_error {
  public:
    EOperationsClosing() : std::runtime_error("the window is closing") {}
};

// Owns every thread of the operations: supervisors and workers. It starts them, hands their end
// notices to the main thread, and when the window closes stops and joins them all, so that no
// thread outlives what it uses.
//
// Threads are std::thread: their start, join and the hand-offs below use standard mutexes, which
// the thread sanitizer sees, where QThread and Qt's event queue use futexes it cannot see.
class TOperationThreads : public QObject {
    Q_OBJECT
  public:
    // Must be created on the main thread.
    explicit TOperationThreads(QObject* parent = nullptr);
    ~TOperationThreads() override; // Shutdown()

    // Runs body on a new thread named name; stop asks it to end soon and must not block. Any
    // thread. False, with nothing started, once Shutdown has begun.
    bool Start(const char* name, std::function<void()> body, std::function<void()> stop);

    // Runs f later on the main thread, unless Shutdown has begun by then. Any thread.
    void Post(std::function<void()> f);

    // Runs f on the main thread and waits for it (RunOnMainThread). Once Shutdown has begun it
    // throws EOperationsClosing instead, also to a call already waiting. Worker threads only.
    void Synchronize(const std::function<void()>& f);

    // Main thread. Asks every thread to stop, refuses the main-thread calls they wait for, and
    // joins them all. Later Start calls start nothing. Safe to call twice.
    void Shutdown();
    bool Closing() const { return closing_.load(); }

  private:
    struct Entry;
    void ReapEnded(); // under mutex_

    std::atomic<bool> closing_{false};
    std::mutex mutex_;
    std::vector<std::unique_ptr<Entry>> entries_;
};
