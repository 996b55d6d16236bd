#include "serial/TCommPortDriver.h"

#include "serial/LineSettings.h"
#include "serial/LinkLog.h"
#include "serial/PortLink.h"
#include "serial/TThread_X.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <vector>

// Every member is guarded by m: operation workers connect and change the speed from their own
// threads while the bus's thread does the same. No path holds m while it waits for a polling
// thread, and polling threads never take m, so neither can block the other.
struct TCommPortDriver::Impl {
    mutable std::mutex m;
    std::shared_ptr<PortLink> link; // null while closed
    QString FComPort = QStringLiteral("/dev/ttyS1");
    TLineSettings line;
    std::uint16_t FComPortInBufSize = 4096;
    std::uint16_t FComPortOutBufSize = 4096;
    std::uint16_t FComPortPollingDelay = 20;
    std::uint16_t FOutputTimeout = 100;
    TComPortReceiveDataEvent FComPortReceiveData;
    int lastOpenError = 0;
    bool lost = false; // a reopen of a hung-up port failed; the driver is closed meanwhile
    TThread_X* Thread_X = nullptr;                   // the polling thread started last, until asked to stop
    std::vector<std::unique_ptr<TThread_X>> threads; // every thread not yet reaped

    void applyComSettings(bool purge)
    {
        link->reconfigure(BaudOf(line.BaudRate), [&](int fd) {
            if (!ApplyLineSettings(fd, line))
                qCInfo(lcLink) << "line settings refused on" << FComPort << qt_error_string(errno);
            if (purge)
                ::tcflush(fd, TCIOFLUSH);
        });
        qCDebug(lcLink) << "line settings" << FComPort << BaudOf(line.BaudRate) << "baud, purge" << purge;
    }

    void startPollingThread()
    {
        reapEnded();
        auto thread =
            std::make_unique<TThread_X>(link, FComPortInBufSize, FComPortReceiveData, FComPortPollingDelay);
        Thread_X = thread.get();
        thread->start();
        threads.push_back(std::move(thread));
    }

    void stopPollingThread()
    {
        if (Thread_X != nullptr)
            Thread_X->requestStop();
        Thread_X = nullptr;
    }

    // A thread that has ended has nothing left to wait for: joining it costs nothing.
    void reapEnded()
    {
        const auto ended = std::stable_partition(threads.begin(), threads.end(),
                                                 [](const auto& t) { return !t->ended(); });
        for (auto it = ended; it != threads.end(); ++it)
            (*it)->join();
        threads.erase(ended, threads.end());
    }

    // Under m, with the port closed.
    bool open()
    {
        int err = 0;
        const int fd = OpenPortExclusive(FComPort, err);
        lastOpenError = err;
        if (fd < 0) {
            qCInfo(lcLink) << "cannot open" << FComPort << qt_error_string(err);
            return false;
        }
        link = std::make_shared<PortLink>(fd);
        lost = false;
        qCDebug(lcLink) << "opened" << FComPort;
        applyComSettings(true);
        startPollingThread();
        return true;
    }

    void disconnect()
    {
        stopPollingThread();
        if (link) {
            link->close(true);
            qCDebug(lcLink) << "closed" << FComPort;
        }
        link.reset();
    }

    template <class F> void ioctlIfOpen(F&& f) const
    {
        if (link)
            link->withFd(f);
    }
};

TCommPortDriver::TCommPortDriver(QObject* AOwner) : QObject(AOwner), d(std::make_unique<Impl>()) {}

TCommPortDriver::~TCommPortDriver()
{
    std::vector<std::unique_ptr<TThread_X>> threads;
    {
        const std::lock_guard lock(d->m);
        d->disconnect();
        for (const auto& t : d->threads)
            t->requestStop();
        threads.swap(d->threads);
    }
    for (const auto& t : threads)
        t->join();
}

bool TCommPortDriver::Connect()
{
    const std::lock_guard lock(d->m);
    if (d->link)
        return true;
    return d->open();
}

void TCommPortDriver::Disconnect()
{
    const std::lock_guard lock(d->m);
    d->disconnect();
    d->lost = false;
}

bool TCommPortDriver::PortLost() const
{
    const std::lock_guard lock(d->m);
    if (!d->link)
        return d->lost;
    bool hungUp = false;
    d->link->withFd([&hungUp](int fd) {
        pollfd p{fd, 0, 0};
        hungUp = ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLNVAL)) != 0;
    });
    return hungUp;
}

bool TCommPortDriver::Reopen()
{
    const std::lock_guard lock(d->m);
    d->disconnect();
    qCInfo(lcLink) << "reopening" << d->FComPort;
    // Until the adapter is back the port stays lost, so that the next operation tries again.
    d->lost = !d->open();
    return !d->lost;
}

bool TCommPortDriver::Connected() const
{
    const std::lock_guard lock(d->m);
    return d->link != nullptr;
}

void TCommPortDriver::FlushBuffers(bool inBuf, bool outBuf)
{
    if (!inBuf && !outBuf)
        return;
    const int queue = inBuf && outBuf ? TCIOFLUSH : (inBuf ? TCIFLUSH : TCOFLUSH);
    const std::lock_guard lock(d->m);
    d->ioctlIfOpen([queue](int fd) { ::tcflush(fd, queue); });
}

std::uint16_t TCommPortDriver::OutFreeSpace() const
{
    const std::lock_guard lock(d->m);
    if (!d->link)
        return 65535;
    int queued = 0;
    d->link->withFd([&queued](int fd) {
        if (::ioctl(fd, TIOCOUTQ, &queued) != 0)
            queued = 0;
    });
    return static_cast<std::uint16_t>(d->FComPortOutBufSize - static_cast<std::uint16_t>(queued));
}

bool TCommPortDriver::SendData(const char* DataPtr, int DataSize)
{
    std::shared_ptr<PortLink> link;
    {
        const std::lock_guard lock(d->m);
        link = d->link;
    }
    if (!link)
        return false;
    if (lcLinkFrames().isDebugEnabled() && DataPtr != nullptr && DataSize > 0)
        qCDebug(lcLinkFrames) << "TX" << QByteArray(DataPtr, DataSize).toHex(' ');
    const bool ok = link->write(DataPtr, DataSize);
    if (!ok)
        qCInfo(lcLink) << "write failed:" << qt_error_string(errno);
    return ok;
}

bool TCommPortDriver::SendString(const QByteArray& s)
{
    return SendData(s.constData(), static_cast<int>(s.size()));
}

bool TCommPortDriver::SendZString(const char* s)
{
    if (s == nullptr)
        return false;
    return SendData(s, static_cast<int>(std::strlen(s)));
}

void TCommPortDriver::ToggleDTR(bool onOff)
{
    const std::lock_guard lock(d->m);
    d->ioctlIfOpen([onOff](int fd) {
        int bit = TIOCM_DTR;
        ::ioctl(fd, onOff ? TIOCMBIS : TIOCMBIC, &bit);
    });
}

void TCommPortDriver::ToggleRTS(bool onOff)
{
    const std::lock_guard lock(d->m);
    d->ioctlIfOpen([onOff](int fd) {
        int bit = TIOCM_RTS;
        ::ioctl(fd, onOff ? TIOCMBIS : TIOCMBIC, &bit);
    });
}

QString TCommPortDriver::ComPort() const
{
    const std::lock_guard lock(d->m);
    return d->FComPort;
}

void TCommPortDriver::setComPort(const QString& path)
{
    const std::lock_guard lock(d->m);
    if (!d->link)
        d->FComPort = path;
}

TComPortBaudRate TCommPortDriver::ComPortSpeed() const
{
    const std::lock_guard lock(d->m);
    return d->line.BaudRate;
}

void TCommPortDriver::setComPortSpeed(TComPortBaudRate rate)
{
    const std::lock_guard lock(d->m);
    d->line.BaudRate = rate;
    if (d->link)
        d->applyComSettings(true);
}

void TCommPortDriver::setComPortSpeedSimply(TComPortBaudRate rate)
{
    const std::lock_guard lock(d->m);
    d->line.BaudRate = rate;
    if (d->link)
        d->applyComSettings(false);
}

void TCommPortDriver::setComPortDataBits(TComPortDataBits v)
{
    const std::lock_guard lock(d->m);
    d->line.DataBits = v;
    if (d->link)
        d->applyComSettings(true);
}

void TCommPortDriver::setComPortStopBits(TComPortStopBits v)
{
    const std::lock_guard lock(d->m);
    d->line.StopBits = v;
    if (d->link)
        d->applyComSettings(true);
}

void TCommPortDriver::setComPortParity(TComPortParity v)
{
    const std::lock_guard lock(d->m);
    d->line.Parity = v;
    if (d->link)
        d->applyComSettings(true);
}

void TCommPortDriver::setComPortHwHandshaking(TComPortHwHandshaking v)
{
    const std::lock_guard lock(d->m);
    d->line.HwHandshaking = v;
    if (d->link)
        d->applyComSettings(true);
}

void TCommPortDriver::setComPortSwHandshaking(TComPortSwHandshaking v)
{
    const std::lock_guard lock(d->m);
    d->line.SwHandshaking = v;
    if (d->link)
        d->applyComSettings(true);
}

std::uint16_t TCommPortDriver::ComPortInBufSize() const
{
    const std::lock_guard lock(d->m);
    return d->FComPortInBufSize;
}

void TCommPortDriver::setComPortInBufSize(std::uint16_t size)
{
    const std::lock_guard lock(d->m);
    // A zero-byte read buffer would swallow every chunk unread.
    if (!d->link && size > 0)
        d->FComPortInBufSize = size;
}

std::uint16_t TCommPortDriver::ComPortOutBufSize() const
{
    const std::lock_guard lock(d->m);
    return d->FComPortOutBufSize;
}

void TCommPortDriver::setComPortOutBufSize(std::uint16_t size)
{
    const std::lock_guard lock(d->m);
    d->FComPortOutBufSize = size;
}

std::uint16_t TCommPortDriver::ComPortPollingDelay() const
{
    const std::lock_guard lock(d->m);
    return d->FComPortPollingDelay;
}

void TCommPortDriver::setComPortPollingDelay(std::uint16_t ms)
{
    const std::lock_guard lock(d->m);
    if (ms == d->FComPortPollingDelay)
        return;
    if (d->link)
        d->stopPollingThread();
    d->FComPortPollingDelay = ms;
    if (d->link)
        d->startPollingThread();
}

bool TCommPortDriver::EnableDTROnOpen() const
{
    const std::lock_guard lock(d->m);
    return d->line.EnableDTR;
}

void TCommPortDriver::setEnableDTROnOpen(bool v)
{
    const std::lock_guard lock(d->m);
    d->line.EnableDTR = v;
}

std::uint16_t TCommPortDriver::OutputTimeout() const
{
    const std::lock_guard lock(d->m);
    return d->FOutputTimeout;
}

void TCommPortDriver::setOutputTimeout(std::uint16_t v)
{
    const std::lock_guard lock(d->m);
    d->FOutputTimeout = v;
}

void TCommPortDriver::setOnReceiveData(TComPortReceiveDataEvent ev)
{
    const std::lock_guard lock(d->m);
    d->FComPortReceiveData = std::move(ev);
}

int TCommPortDriver::ComHandle() const
{
    const std::lock_guard lock(d->m);
    return d->link ? d->link->fd() : 0;
}

void TCommPortDriver::setComHandle(int fd)
{
    const std::lock_guard lock(d->m);
    const int current = d->link ? d->link->fd() : 0;
    if (fd == current)
        return;
    if (fd == -1) {
        if (d->link) {
            d->stopPollingThread();
            d->link->close(false);
            d->link.reset();
        }
        return;
    }
    d->disconnect();
    if (fd != 0) {
        d->link = std::make_shared<PortLink>(fd);
        d->startPollingThread();
    }
}

int TCommPortDriver::LastOpenError() const
{
    const std::lock_guard lock(d->m);
    return d->lastOpenError;
}

std::chrono::steady_clock::time_point TCommPortDriver::LastByteAt() const
{
    const std::lock_guard lock(d->m);
    return d->link ? d->link->lastByteAt() : std::chrono::steady_clock::time_point{};
}
