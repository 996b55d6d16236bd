#include "sim/SimPty.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

int simReadLineSpeed(int fd);

namespace {

QString systemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

SimPty::~SimPty()
{
    removeLink();
    close();
}

bool SimPty::open(QString* error)
{
    close();
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) {
        if (error)
            *error = systemError("posix_openpt");
        return false;
    }
    char name[128] = {};
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        if (error)
            *error = systemError("pseudo-terminal setup");
        close();
        return false;
    }
    slavePath_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave_ < 0) {
        if (error)
            *error = systemError("open slave");
        close();
        return false;
    }
    // Raw from the start: with the default cooked settings the slave would echo every reply back
    // into the master before the program gets to configure the port.
    termios settings{};
    tcgetattr(slave_, &settings);
    cfmakeraw(&settings);
    cfsetspeed(&settings, B9600);
    if (tcsetattr(slave_, TCSANOW, &settings) != 0) {
        if (error)
            *error = systemError("tcsetattr");
        close();
        return false;
    }
    // Watched after the bus's own open, so that only the program's opens and closes count.
    notify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (notify_ < 0 || inotify_add_watch(notify_, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        if (error)
            *error = systemError("inotify");
        close();
        return false;
    }
    opens_ = 0;
    return true;
}

bool SimPty::refreshAttached()
{
    if (notify_ < 0)
        return false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(notify_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t offset = 0; offset < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            if (event->mask & IN_Q_OVERFLOW) {
                opens_ = 1; // counts lost: assume the program is there rather than drop its replies
            } else if (event->mask & IN_OPEN) {
                ++opens_;
            } else if (event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
                opens_ = std::max(0, opens_ - 1);
                if (opens_ == 0) {
                    ioctl(slave_, TIOCNXCL);
                    tcflush(slave_, TCIOFLUSH);
                }
            }
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return opens_ > 0;
}

void SimPty::close()
{
    if (notify_ >= 0)
        ::close(notify_);
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    notify_ = -1;
    slave_ = -1;
    master_ = -1;
    opens_ = 0;
    slavePath_.clear();
}

int SimPty::lineSpeed() const
{
    return slave_ >= 0 ? simReadLineSpeed(slave_) : 0;
}

bool SimPty::createLink(const QString& linkPath, QString* error)
{
    const QByteArray target = QFile::encodeName(slavePath_);
    const QByteArray link = QFile::encodeName(linkPath);
    struct stat existing {};
    if (lstat(link.constData(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        if (error)
            *error = QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath);
        return false;
    }
    // Made under a temporary name and renamed over the old link, so the path is never missing.
    const QByteArray temporary = link + ".tmp" + QByteArray::number(getpid());
    ::unlink(temporary.constData());
    if (symlink(target.constData(), temporary.constData()) != 0 ||
        rename(temporary.constData(), link.constData()) != 0) {
        if (error)
            *error = systemError("symlink");
        ::unlink(temporary.constData());
        return false;
    }
    linkPath_ = linkPath;
    return true;
}

void SimPty::removeLink()
{
    if (linkPath_.isEmpty())
        return;
    // Only our own link goes: another bus may have taken the path over since.
    const QByteArray link = QFile::encodeName(linkPath_);
    char target[256] = {};
    const ssize_t length = readlink(link.constData(), target, sizeof target - 1);
    if (length > 0 && QFile::decodeName(QByteArray(target, length)) == slavePath_)
        ::unlink(link.constData());
    linkPath_.clear();
}
