#pragma once
// Public interface of the serial port driver. The implementation may add members,
// but callers rely on every name below.
#include "serial/Chunk.h"
#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

enum TComPortBaudRate {
    br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200, br38400,
    br56000, br57600, br115200, br230400, br460800, br921600
};
enum TComPortDataBits { db5BITS, db6BITS, db7BITS, db8BITS };
enum TComPortStopBits { sb1BITS, sb1HALFBITS, sb2BITS };
enum TComPortParity { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum TComPortHwHandshaking { hhNONE, hhRTSCTS };
enum TComPortSwHandshaking { shNONE, shXONXOFF };

int BaudOf(TComPortBaudRate rate);

// Runs on the polling thread with each chunk as it is read, stamped with its line speed and time.
// It must not wait for the thread that changes the driver's settings, nor destroy the driver: that
// would wait for the very thread it runs on.
using TComPortReceiveDataEvent = std::function<void(const TChunk& chunk)>;

class TCommPortDriver : public QObject {
    Q_OBJECT
public:
    explicit TCommPortDriver(QObject* AOwner = nullptr);
    ~TCommPortDriver() override; // Disconnect, then wait for the polling threads

    bool Connect();
    void Disconnect();
    bool Connected() const;
    void FlushBuffers(bool inBuf, bool outBuf);
    std::uint16_t OutFreeSpace() const;
    bool SendData(const char* DataPtr, int DataSize); // any thread
    bool SendString(const QByteArray& s);             // any thread
    bool SendZString(const char* s);                  // any thread
    void ToggleDTR(bool onOff);
    void ToggleRTS(bool onOff);

    // The device path to open, e.g. "/dev/ttyUSB0"; taken only while closed.
    QString ComPort() const;
    void setComPort(const QString& path);
    TComPortBaudRate ComPortSpeed() const;
    void setComPortSpeed(TComPortBaudRate rate);       // re-applies settings and purges while open
    void setComPortSpeedSimply(TComPortBaudRate rate); // re-applies settings without purge
    void setComPortDataBits(TComPortDataBits v);
    void setComPortStopBits(TComPortStopBits v);
    void setComPortParity(TComPortParity v);
    void setComPortHwHandshaking(TComPortHwHandshaking v);
    void setComPortSwHandshaking(TComPortSwHandshaking v);
    std::uint16_t ComPortInBufSize() const;
    void setComPortInBufSize(std::uint16_t size);      // taken only while closed
    std::uint16_t ComPortOutBufSize() const;
    void setComPortOutBufSize(std::uint16_t size);
    std::uint16_t ComPortPollingDelay() const;
    void setComPortPollingDelay(std::uint16_t ms);     // restarts the polling thread when changed while open
    bool EnableDTROnOpen() const;
    void setEnableDTROnOpen(bool v);
    std::uint16_t OutputTimeout() const;
    void setOutputTimeout(std::uint16_t v);
    void setOnReceiveData(TComPortReceiveDataEvent ev);
    int ComHandle() const;      // the open file descriptor, 0 when closed
    void setComHandle(int fd);  // adopt an open descriptor; -1 detaches without closing
    // True once the open port has hung up (its adapter was unplugged) and while opening it again
    // fails; false after a Connect or a Disconnect.
    bool PortLost() const;
    // Closes the port and opens the same path again with the same settings; true when it is open.
    bool Reopen();
    // errno of the last failed Connect (EACCES, ENOENT, EBUSY, ...); 0 after a successful one.
    int LastOpenError() const;
    // When a read last brought bytes, in this open period; the clock's epoch before the first.
    std::chrono::steady_clock::time_point LastByteAt() const;

private:
    struct Impl;
    const std::unique_ptr<Impl> d;
};
