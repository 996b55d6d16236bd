#include "serial/LineSettings.h"

#include "serial/CustomBaud.h"

#include <array>
#include <cerrno>
#include <sys/ioctl.h>

namespace {

struct BaudEntry {
    int baud;
    speed_t code; // 0 where the C library has no constant
};

constexpr std::array<BaudEntry, 16> kBauds{{
    {110, B110},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {14400, 0},
    {19200, B19200},
    {38400, B38400},
    {56000, 0},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
    {460800, B460800},
    {921600, B921600},
}};

const BaudEntry& EntryOf(TComPortBaudRate rate)
{
    const auto i = static_cast<std::size_t>(rate);
    return kBauds.at(i < kBauds.size() ? i : static_cast<std::size_t>(br9600));
}

tcflag_t CharSize(TComPortDataBits bits)
{
    switch (bits) {
    case db5BITS:
        return CS5;
    case db6BITS:
        return CS6;
    case db7BITS:
        return CS7;
    case db8BITS:
        break;
    }
    return CS8;
}

tcflag_t ParityFlags(TComPortParity parity)
{
    switch (parity) {
    case ptODD:
        return PARENB | PARODD;
    case ptEVEN:
        return PARENB;
    case ptMARK:
        return PARENB | CMSPAR | PARODD;
    case ptSPACE:
        return PARENB | CMSPAR;
    case ptNONE:
        break;
    }
    return 0;
}

void SetModemLine(int fd, int line, bool on)
{
    ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

} // namespace

int BaudOf(TComPortBaudRate rate)
{
    return EntryOf(rate).baud;
}

void FillLineTermios(termios& t, const TLineSettings& s)
{
    ::cfmakeraw(&t);
    // CIBAUD cleared: the input speed follows the output speed, never an earlier custom one.
    t.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS | CIBAUD);
    t.c_cflag |= CLOCAL | CREAD | CharSize(s.DataBits) | ParityFlags(s.Parity);
    // termios knows one or two stop bits; a UART sends 1.5 when asked for two on 5-bit words.
    if (s.StopBits != sb1BITS)
        t.c_cflag |= CSTOPB;
    if (s.HwHandshaking == hhRTSCTS)
        t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    if (s.SwHandshaking == shXONXOFF)
        t.c_iflag |= IXON | IXOFF;
    t.c_cc[VSTART] = 17;
    t.c_cc[VSTOP] = 19;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    const BaudEntry& speed = EntryOf(s.BaudRate);
    if (speed.code != 0) {
        ::cfsetispeed(&t, speed.code);
        ::cfsetospeed(&t, speed.code);
    }
}

bool ApplyLineSettings(int fd, const TLineSettings& s)
{
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return false;
    FillLineTermios(t, s);
    const BaudEntry& speed = EntryOf(s.BaudRate);
    // The C library reports failure when the driver dropped any flag (a pseudo-terminal drops
    // parity), though the rest was applied; the speed must follow in either case.
    bool ok = ::tcsetattr(fd, TCSANOW, &t) == 0;
    int err = errno;
    if (speed.code == 0 && !SetCustomLineBaud(fd, speed.baud)) {
        ok = false;
        err = errno;
    }

    SetModemLine(fd, TIOCM_DTR, s.EnableDTR);
    if (s.HwHandshaking != hhRTSCTS)
        SetModemLine(fd, TIOCM_RTS, false);
    errno = err; // the caller reports why the settings were refused, not the modem lines
    return ok;
}
