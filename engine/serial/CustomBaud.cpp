// The kernel's termbits header and glibc's <termios.h> define the same names differently,
// so this file includes only the former.
#include "serial/CustomBaud.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool SetCustomLineBaud(int fd, int baud)
{
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = static_cast<speed_t>(baud);
    t.c_ospeed = static_cast<speed_t>(baud);
    return ::ioctl(fd, TCSETS2, &t) == 0;
}

int ReadLineBaud(int fd)
{
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return -1;
    return static_cast<int>(t.c_ospeed);
}

int ReadLineInputBaud(int fd)
{
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return -1;
    return static_cast<int>(t.c_ispeed);
}
