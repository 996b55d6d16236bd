#include "operations/TOperationThreads.h"
#include "operations/OperationLog.h"
#include "protocol/MainThread.h"
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <exception>
#include <pthread.h>
#include <thread>

namespace {
// Held while a call is posted to the main thread and taken first when it runs there: the event
// queue orders the two threads with futexes the thread sanitizer cannot see, this mutex with
// one it can.
std::mutex postingOrder;
} // namespace

struct TOperationThreads::Entry {
    std::thread thread;
    std::function<void()> stop;
    std::shared_ptr<std::atomic<bool>> ended = std::make_shared<std::atomic<bool>>(false);
};

TOperationThreads::TOperationThreads(QObject* parent) : QObject(parent) {}

TOperationThreads::~TOperationThreads()
{
    Shutdown();
}

bool TOperationThreads::Start(const char* name, std::function<void()> body, std::function<void()> stop)
{
    const std::lock_guard lock(mutex_);
    if (closing_.load())
        return false;
    ReapEnded();
    auto entry = std::make_unique<Entry>();
    entry->stop = std::move(stop);
    entry->thread = std::thread([body = std::move(body), ended = entry->ended] {
        try {
            body();
        } catch (const std::exception& e) {
            qCWarning(lcOperations) << "operation thread failed:" << e.what();
        } catch (...) {
            qCWarning(lcOperations) << "operation thread failed";
        }
        ended->store(true);
    });
    ::pthread_setname_np(entry->thread.native_handle(), name);
    entries_.push_back(std::move(entry));
    return true;
}

void TOperationThreads::ReapEnded()
{
    // An ended thread has returned from its body; joining it waits for nothing more.
    const auto ended = std::stable_partition(entries_.begin(), entries_.end(),
                                             [](const auto& entry) { return !entry->ended->load(); });
    for (auto it = ended; it != entries_.end(); ++it)
        (*it)->thread.join();
    entries_.erase(ended, entries_.end());
}

void TOperationThreads::Post(std::function<void()> f)
{
    const std::lock_guard posting(postingOrder);
    QMetaObject::invokeMethod(
        this,
        [this, f = std::move(f)] {
            {
                const std::lock_guard turn(postingOrder);
            }
            if (!closing_.load())
                f();
        },
        Qt::QueuedConnection);
}

void TOperationThreads::Synchronize(const std::function<void()>& f)
{
    if (closing_.load())
        throw EOperationsClosing();
    RunOnMainThread([this, &f] {
        if (closing_.load())
            throw EOperationsClosing();
        f();
    });
}

void TOperationThreads::Shutdown()
{
    std::vector<std::unique_ptr<Entry>> entries;
    {
        const std::lock_guard lock(mutex_);
        closing_.store(true);
        entries.swap(entries_);
    }
    for (const auto& entry : entries)
        entry->stop();
    // A worker may be waiting for a main-thread call; the main thread is here, so it runs those
    // calls itself, and each one refuses at once. Then every thread ends within a try.
    QCoreApplication* const app = QCoreApplication::instance();
    const auto running = [&] {
        return std::any_of(entries.begin(), entries.end(),
                           [](const auto& entry) { return !entry->ended->load(); });
    };
    while (running()) {
        if (app)
            QCoreApplication::sendPostedEvents(app, QEvent::MetaCall);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (const auto& entry : entries)
        entry->thread.join();
    qCDebug(lcOperations) << "operation threads stopped:" << entries.size();
}
