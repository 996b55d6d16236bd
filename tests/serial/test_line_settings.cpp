// Line settings: the termios the driver builds, and what the kernel holds once a port is open.
#include "PtyPair.h"
#include "serial/CustomBaud.h"
#include "serial/LineSettings.h"
#include "serial/TCommPortDriver.h"

#include <gtest/gtest.h>
#include <termios.h>
#include <vector>

namespace {

TEST(SerialLineTermios, FramingFlags)
{
    struct Case {
        TComPortDataBits dataBits;
        TComPortParity parity;
        TComPortStopBits stopBits;
        tcflag_t size;
        tcflag_t parityFlags;
        bool twoStopBits;
    };
    const std::vector<Case> cases{
        {db8BITS, ptNONE, sb1BITS, CS8, 0, false},
        {db7BITS, ptEVEN, sb1BITS, CS7, PARENB, false},
        {db6BITS, ptODD, sb2BITS, CS6, PARENB | PARODD, true},
        {db5BITS, ptMARK, sb1HALFBITS, CS5, PARENB | PARODD | CMSPAR, true},
        {db8BITS, ptSPACE, sb1BITS, CS8, PARENB | CMSPAR, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.dataBits) * 100 + static_cast<int>(c.parity) * 10 + c.stopBits);
        termios t{};
        t.c_cflag = CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS | CS5; // leftovers must go
        t.c_iflag = IXON | IXOFF | ICRNL | INPCK;
        TLineSettings s;
        s.DataBits = c.dataBits;
        s.Parity = c.parity;
        s.StopBits = c.stopBits;
        FillLineTermios(t, s);
        EXPECT_EQ(t.c_cflag & CSIZE, c.size);
        EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.parityFlags);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStopBits);
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INPCK), 0u);
    }
}

// A pseudo-terminal keeps everything but the character size and the parity enable bit
// (it forces CS8 and no parity), which the table above covers.
TEST(SerialLineTermios, AppliedToAnOpenPort)
{
    struct Case {
        TComPortBaudRate rate;
        int baud;
        speed_t code; // B0 for speeds set through termios2
        TComPortStopBits stopBits;
        TComPortParity parity;
        TComPortHwHandshaking hw;
        TComPortSwHandshaking sw;
    };
    const std::vector<Case> cases{
        {br9600, 9600, B9600, sb1BITS, ptNONE, hhNONE, shNONE},
        {br921600, 921600, B921600, sb2BITS, ptMARK, hhRTSCTS, shXONXOFF},
        {br14400, 14400, B0, sb1BITS, ptODD, hhNONE, shNONE},
        {br56000, 56000, B0, sb1BITS, ptSPACE, hhNONE, shXONXOFF},
        {br57600, 57600, B57600, sb1BITS, ptNONE, hhNONE, shNONE}, // back from a termios2 speed
        {br110, 110, B110, sb2BITS, ptNONE, hhNONE, shNONE},
        {br460800, 460800, B460800, sb1BITS, ptNONE, hhNONE, shNONE},
    };
    PtyPair pty;
    TCommPortDriver driver;
    driver.setComPort(pty.slavePath());
    ASSERT_TRUE(driver.Connect());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.baud);
        driver.setComPortStopBits(c.stopBits);
        driver.setComPortParity(c.parity);
        driver.setComPortHwHandshaking(c.hw);
        driver.setComPortSwHandshaking(c.sw);
        driver.setComPortSpeed(c.rate);
        EXPECT_EQ(BaudOf(c.rate), c.baud);

        termios t{};
        ASSERT_EQ(::tcgetattr(driver.ComHandle(), &t), 0);
        EXPECT_EQ(ReadLineBaud(driver.ComHandle()), c.baud);
        EXPECT_EQ(ReadLineInputBaud(driver.ComHandle()), c.baud);
        if (c.code != B0) {
            EXPECT_EQ(::cfgetospeed(&t), c.code);
            EXPECT_EQ(::cfgetispeed(&t), c.code);
        }
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXANY), 0u);
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.stopBits != sb1BITS);
        EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.hw == hhRTSCTS);
        EXPECT_EQ((t.c_cflag & CMSPAR) != 0, c.parity == ptMARK || c.parity == ptSPACE);
        EXPECT_EQ((t.c_cflag & PARODD) != 0, c.parity == ptMARK || c.parity == ptODD);
        EXPECT_EQ((t.c_iflag & (IXON | IXOFF)) != 0, c.sw == shXONXOFF);
        EXPECT_EQ(t.c_cc[VSTART], 17);
        EXPECT_EQ(t.c_cc[VSTOP], 19);
        EXPECT_EQ(t.c_cc[VMIN], 0);
        EXPECT_EQ(t.c_cc[VTIME], 0);
    }
}

} // namespace
