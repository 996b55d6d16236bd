#pragma once
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <shared_mutex>

// Opens a serial device for reading and writing, exclusively: flock() keeps out every other
// process that locks the same way, TIOCEXCL keeps out every other open but root's.
// Returns a descriptor above 2 (so it never passes for "closed"), or -1 with err set to errno.
int OpenPortExclusive(const QString& path, int& err);

// Lets go of the exclusive claim and closes the descriptor.
void ClosePort(int fd);

// One open period of a port. Whoever reads, writes or runs an ioctl holds the descriptor
// shared; close() takes it exclusively, so no thread can ever touch a closed or reused number.
class PortLink {
  public:
    explicit PortLink(int fd);
    ~PortLink();
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    int fd() const { return fd_; }
    bool isOpen() const { return !closing_.load(); }

    // Ends the open period once in-flight reads and writes have noticed (a read waiting for bytes
    // at once, a write within ~10 ms). With closeFd false the descriptor is only let go of: its
    // owner keeps it.
    void close(bool closeFd);

    // Writes all bytes; false on error, on a closed link, or when the link closes meanwhile.
    bool write(const char* data, int size);

    // Waits up to waitMs for bytes, then reads what has arrived and whatever keeps arriving within
    // 1 ms of the last byte, for at most a few milliseconds and up to size bytes, all at one line
    // speed: speed is the baud the line ran at as they were read, firstAt when the first of them
    // were. Returns the count (0 when nothing came), or -1 with errno kept in err.
    int readChunk(char* buf, int size, int waitMs, const std::atomic<bool>& stop, int& err, int& speed,
                  std::chrono::steady_clock::time_point& firstAt);

    // Runs f(fd) while no read is under way, then stamps every byte read after it with speed:
    // for line settings, which purge what arrived at the old speed.
    template <class F> bool reconfigure(int speed, F&& f)
    {
        std::shared_lock lock(guard_);
        if (closed_ || closing_.load())
            return false;
        const std::unique_lock line(lineGuard_);
        f(fd_);
        lineSpeed_ = speed;
        return true;
    }

    // When a read last brought bytes; the epoch of the clock before the first.
    std::chrono::steady_clock::time_point lastByteAt() const;

    // Runs f(fd) with the descriptor held open; returns false without calling f once closed.
    template <class F> bool withFd(F&& f)
    {
        std::shared_lock lock(guard_);
        if (closed_ || closing_.load())
            return false;
        f(fd_);
        return true;
    }

    // Held by a polling thread from the start of a read until its chunk is handed over, so that an
    // outgoing and an incoming thread deliver in the order the bytes came.
    std::mutex& readOrder() { return readOrder_; }

  private:
    const int fd_;
    const int wakeFd_; // an eventfd that close() signals, ending a read's wait at once
    std::atomic<bool> closing_{false};
    std::shared_mutex lineGuard_; // shared by each read, exclusive while the line is reconfigured
    int lineSpeed_ = 0;           // under lineGuard_
    std::atomic<std::int64_t> lastByteNs_{0};
    std::shared_mutex guard_;
    bool closed_ = false;   // under guard_ held exclusively
    std::mutex writeOrder_; // one frame at a time: writes from several threads never interleave
    std::mutex readOrder_;
};
