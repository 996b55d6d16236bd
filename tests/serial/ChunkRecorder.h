#pragma once
// The driver's receive event as a test sees it: every chunk, recorded on the polling thread that
// handed it over, for the test's thread to wait for and read.
#include "serial/Chunk.h"
#include "serial/TCommPortDriver.h"

#include <QByteArray>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

struct SeenChunk {
    TChunk chunk;
    // The kernel's id of the thread that ran the event: unlike a std::thread::id it is not
    // handed to the next thread as soon as one ends.
    pid_t thread = 0;
};

class ChunkRecorder {
  public:
    using After = std::function<void(const TChunk&)>;

    TComPortReceiveDataEvent handler()
    {
        return [this](const TChunk& chunk) { record(chunk); };
    }

    // Runs inside the receive event, after the chunk is recorded.
    void setAfter(After after)
    {
        const std::lock_guard lock(m_);
        after_ = std::move(after);
    }

    // While held, the receive event does not return: the polling thread reads nothing and the
    // bytes that come meanwhile wait in the system's queue.
    void hold()
    {
        const std::lock_guard lock(m_);
        held_ = true;
    }
    void release()
    {
        {
            const std::lock_guard lock(m_);
            held_ = false;
            ++releases_;
        }
        cv_.notify_all();
    }
    // Waits until a receive event is held.
    bool waitParked(int ms)
    {
        std::unique_lock lock(m_);
        return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return parked_; });
    }

    bool waitBytes(qsizetype size, int ms)
    {
        std::unique_lock lock(m_);
        return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return bytes_.size() >= size; });
    }
    bool waitChunks(std::size_t count, int ms)
    {
        std::unique_lock lock(m_);
        return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return seen_.size() >= count; });
    }

    // Copies are deep: a shared QByteArray's reference count is read without the ordering the
    // thread sanitizer needs to see when the polling thread appends to it.
    QByteArray bytes() const
    {
        const std::lock_guard lock(m_);
        return Own(bytes_);
    }
    std::vector<SeenChunk> chunks() const
    {
        const std::lock_guard lock(m_);
        std::vector<SeenChunk> copy;
        for (const SeenChunk& c : seen_)
            copy.push_back(Own(c));
        return copy;
    }
    std::size_t count() const
    {
        const std::lock_guard lock(m_);
        return seen_.size();
    }
    SeenChunk last() const
    {
        const std::lock_guard lock(m_);
        return seen_.empty() ? SeenChunk{} : Own(seen_.back());
    }

  private:
    static QByteArray Own(const QByteArray& bytes) { return QByteArray(bytes.constData(), bytes.size()); }
    static SeenChunk Own(const SeenChunk& seen)
    {
        SeenChunk copy = seen;
        copy.chunk.Bytes = Own(seen.chunk.Bytes);
        return copy;
    }

    void record(const TChunk& chunk)
    {
        After after;
        bool park = false;
        unsigned releases = 0;
        {
            // Whether this chunk is held is settled as it is recorded: a test that has seen it
            // may hold the next one without catching this one.
            const std::lock_guard lock(m_);
            seen_.push_back(Own(SeenChunk{chunk, ::gettid()}));
            bytes_.append(chunk.Bytes.constData(), chunk.Bytes.size()); // never shares the chunk's block
            after = after_;
            park = held_;
            releases = releases_;
        }
        cv_.notify_all();
        if (after)
            after(chunk);
        if (!park)
            return;
        std::unique_lock lock(m_);
        parked_ = true;
        cv_.notify_all();
        // Bounded, so that a failing test ends rather than hangs its driver's destructor.
        cv_.wait_for(lock, std::chrono::seconds(10), [&] { return releases_ != releases; });
        parked_ = false;
    }

    mutable std::mutex m_;
    std::condition_variable cv_;
    std::vector<SeenChunk> seen_;
    QByteArray bytes_;
    After after_;
    bool held_ = false;
    bool parked_ = false;
    unsigned releases_ = 0;
};
