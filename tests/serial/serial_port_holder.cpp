// A second process for the exclusivity and permission tests.
//   serial_port_holder hold <path>  opens the port with the driver, prints "open" or "fail <errno>",
//                                   and keeps it open until its standard input closes.
//   serial_port_holder scan <dir>   scans dir as an unprivileged user and prints "port <path>" and
//                                   "denied <path>" lines.
#include "serial/PortScan.h"
#include "serial/TCommPortDriver.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <grp.h>
#include <unistd.h>

namespace {

int Hold(const QString& path)
{
    TCommPortDriver driver;
    driver.setComPort(path);
    if (driver.Connect())
        std::printf("open\n");
    else
        std::printf("fail %d\n", driver.LastOpenError());
    std::fflush(stdout);
    char c;
    while (::read(STDIN_FILENO, &c, 1) > 0) {
    }
    return 0;
}

int Scan(const QString& dir)
{
    constexpr uid_t kNobody = 65534;
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
        return 2;
    const PortScanResult r = ScanSerialPorts(dir, QString());
    for (const QString& p : r.ports)
        std::printf("port %s\n", qPrintable(p));
    for (const QString& p : r.denied)
        std::printf("denied %s\n", qPrintable(p));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "hold") == 0)
        return Hold(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "scan") == 0)
        return Scan(QString::fromLocal8Bit(argv[2]));
    std::fprintf(stderr, "usage: serial_port_holder hold|scan <path>\n");
    return 1;
}
