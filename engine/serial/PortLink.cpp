#include "serial/PortLink.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Slice of a wait for room in the output queue; a closing link is noticed within it.
constexpr int kWriteWaitSliceMs = 10;
// The longest a chunk gathers bytes: at 921600 baud some 400 bytes, a few hundred chunks a second.
constexpr std::chrono::milliseconds kChunkSpan{4};

int OpenRetrying(const QByteArray& path)
{
    int fd;
    do {
        fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

int OpenPortExclusive(const QString& path, int& err)
{
    err = 0;
    if (path.isEmpty()) {
        err = ENOENT;
        return -1;
    }
    int fd = OpenRetrying(QFile::encodeName(path));
    if (fd < 0) {
        err = errno;
        return -1;
    }
    if (fd <= 2) {
        const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
        err = errno;
        ::close(fd);
        if (moved < 0)
            return -1;
        fd = moved;
    }
    if (!::isatty(fd)) {
        err = ENOTTY;
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        err = errno == EWOULDBLOCK ? EBUSY : errno;
    } else if (::ioctl(fd, TIOCEXCL) != 0) {
        err = errno;
    } else {
        return fd;
    }
    ::close(fd);
    return -1;
}

void ClosePort(int fd)
{
    // The exclusive flag lives on the tty, not on this descriptor: clear it for the next opener.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

PortLink::PortLink(int fd) : fd_(fd), wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

PortLink::~PortLink()
{
    close(true);
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

void PortLink::close(bool closeFd)
{
    closing_.store(true);
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
    std::unique_lock lock(guard_);
    if (closed_)
        return;
    if (closeFd)
        ClosePort(fd_);
    closed_ = true;
}

bool PortLink::write(const char* data, int size)
{
    if (size < 0 || (size > 0 && data == nullptr))
        return false;
    std::shared_lock lock(guard_);
    if (closed_ || closing_.load())
        return false;
    std::lock_guard order(writeOrder_);
    int done = 0;
    while (done < size) {
        if (closing_.load())
            return false;
        const ssize_t n = ::write(fd_, data + done, static_cast<size_t>(size - done));
        if (n > 0) {
            done += static_cast<int>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, kWriteWaitSliceMs) > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)))
                return false;
        } else if (!(n < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

int PortLink::readChunk(char* buf, int size, int waitMs, const std::atomic<bool>& stop, int& err, int& speed,
                        std::chrono::steady_clock::time_point& firstAt)
{
    using Clock = std::chrono::steady_clock;
    err = 0;
    std::shared_lock lock(guard_);
    if (closed_ || closing_.load())
        return 0;
    int got = 0;
    int timeout = waitMs;
    while (got < size && !stop.load() && !closing_.load()) {
        pollfd p[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int r = ::poll(p, wakeFd_ >= 0 ? 2 : 1, timeout);
        if (r < 0 && errno == EINTR)
            continue;
        if (r == 0 || (p[1].revents & POLLIN))
            break; // 1 ms without a byte ends the chunk; so does a closing link
        if (r < 0 || !(p[0].revents & POLLIN)) {
            err = r < 0 ? errno : EIO;
            break;
        }
        ssize_t n = 0;
        {
            const std::shared_lock line(lineGuard_);
            // Bytes that came after a speed switch belong to the next chunk.
            if (got > 0 && lineSpeed_ != speed)
                break;
            speed = lineSpeed_;
            n = ::read(fd_, buf + got, static_cast<size_t>(size - got));
        }
        if (n > 0) {
            const Clock::time_point now = Clock::now();
            if (got == 0)
                firstAt = now;
            got += static_cast<int>(n);
            lastByteNs_.store(now.time_since_epoch().count());
            // A line that never falls quiet is still handed over in small pieces: a request sent
            // meanwhile then finds its reply in a chunk that began after it.
            if (now - firstAt >= kChunkSpan)
                break;
        } else if (n == 0) {
            err = EIO; // hang-up: the device is gone
            break;
        } else if (errno != EINTR && errno != EAGAIN) {
            err = errno;
            break;
        }
        timeout = 1;
    }
    return got > 0 ? got : (err != 0 ? -1 : 0);
}

std::chrono::steady_clock::time_point PortLink::lastByteAt() const
{
    return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(lastByteNs_.load()));
}
