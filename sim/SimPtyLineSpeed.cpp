// Kept apart: <asm/termbits.h> cannot share a translation unit with <termios.h>.
#include <asm/ioctls.h>
#include <asm/termbits.h>

extern "C" int ioctl(int fd, unsigned long request, ...);

int simReadLineSpeed(int fd)
{
    struct termios2 settings {};
    if (ioctl(fd, TCGETS2, &settings) != 0)
        return 0;
    return static_cast<int>(settings.c_ospeed);
}
