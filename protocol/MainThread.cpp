#include "protocol/MainThread.h"
#include <QCoreApplication>
#include <QThread>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace {
// Held while a call is posted and taken first when it runs: Qt's event queue orders the two
// threads with futexes the thread sanitizer cannot see, this mutex with ones it can.
std::mutex postingOrder;

// The hand-off between caller and main thread. It is waited on with a standard condition
// variable rather than Qt's blocking connection, so that the thread sanitizer sees the order.
struct Handoff {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool ran = false;
    std::exception_ptr error;
};

// Signals the caller when the posted call is destroyed: after it has run, or when the
// application discards it unrun because it is shutting down.
class Completion {
  public:
    explicit Completion(std::shared_ptr<Handoff> handoff) : handoff_(std::move(handoff)) {}
    Completion(const Completion&) = delete;
    Completion& operator=(const Completion&) = delete;
    ~Completion()
    {
        {
            const std::lock_guard lock(handoff_->mutex);
            handoff_->done = true;
        }
        handoff_->finished.notify_all();
    }
    Handoff& handoff() const { return *handoff_; }

  private:
    std::shared_ptr<Handoff> handoff_;
};
} // namespace

void RunOnMainThread(const std::function<void()>& f)
{
    QCoreApplication* const app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) {
        f();
        return;
    }
    auto handoff = std::make_shared<Handoff>();
    auto completion = std::make_shared<Completion>(handoff);
    {
        const std::lock_guard posting(postingOrder);
        QMetaObject::invokeMethod(
            app,
            [completion, &f] {
                {
                    const std::lock_guard posted(postingOrder);
                }
                Handoff& h = completion->handoff();
                std::exception_ptr error;
                try {
                    f();
                } catch (...) {
                    error = std::current_exception();
                }
                const std::lock_guard lock(h.mutex);
                h.ran = true;
                h.error = error;
            },
            Qt::QueuedConnection);
        completion.reset();
    }

    std::unique_lock lock(handoff->mutex);
    handoff->finished.wait(lock, [&] { return handoff->done; });
    if (!handoff->ran)
        throw std::runtime_error("the main thread has stopped taking calls");
    if (handoff->error)
        std::rethrow_exception(handoff->error);
}
