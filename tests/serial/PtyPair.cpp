#include "PtyPair.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

PtyPair::PtyPair()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        throw std::runtime_error("cannot create a pseudo-terminal");
    slave_ = QString::fromLocal8Bit(::ptsname(master_));
}

PtyPair::~PtyPair()
{
    closeMaster();
}

void PtyPair::write(const QByteArray& bytes) const
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(master_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            throw std::runtime_error("write to the pseudo-terminal master failed");
        if (n > 0)
            done += n;
    }
}

QByteArray PtyPair::read(int want, int quietMs) const
{
    QByteArray got;
    char buf[4096];
    while (got.size() < want) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, quietMs) <= 0 || !(p.revents & POLLIN))
            break;
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0)
            break;
        got.append(buf, n);
    }
    return got;
}

void PtyPair::closeMaster()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}
