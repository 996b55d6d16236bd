#pragma once
// The program's end of the line, as plain as it gets: a raw descriptor on the slave side of the
// simulated bus, set to a speed, written and read with poll.
#include <QByteArray>
#include <QString>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

class SimTestPort {
  public:
    explicit SimTestPort(const QString& path, int speed = 9600)
    {
        fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ >= 0)
            setSpeed(speed);
    }
    ~SimTestPort()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    SimTestPort(const SimTestPort&) = delete;
    SimTestPort& operator=(const SimTestPort&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool setSpeed(int speed)
    {
        termios settings{};
        if (tcgetattr(fd_, &settings) != 0)
            return false;
        cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        if (cfsetspeed(&settings, speedConstant(speed)) != 0)
            return false;
        return tcsetattr(fd_, TCSANOW, &settings) == 0;
    }

    bool write(const QByteArray& bytes) const
    {
        return ::write(fd_, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }

    // Everything that arrives within `ms`.
    QByteArray readFor(int ms) const { return readUntil(-1, ms); }

    // Reads until `count` bytes have come (or, with count < 0, until the time is up).
    QByteArray readUntil(qsizetype count, int timeoutMs) const
    {
        QByteArray out;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (count < 0 || out.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0)
                break;
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0)
                continue;
            if (!(p.revents & POLLIN))
                break;
            char buffer[4096];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            out.append(buffer, n);
        }
        return out;
    }

    // Reads until `text` has arrived or the time is up.
    QByteArray readUntilContains(const QByteArray& text, int timeoutMs) const
    {
        QByteArray out;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!out.contains(text) && std::chrono::steady_clock::now() < deadline)
            out += readUntil(-1, 5);
        return out;
    }

    static speed_t speedConstant(int speed)
    {
        switch (speed) {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 921600:
            return B921600;
        default:
            return B0;
        }
    }

  private:
    int fd_ = -1;
};
