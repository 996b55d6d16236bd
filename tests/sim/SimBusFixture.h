#pragma once
// A running bus with three sensors and the program's end of its line at 115200 baud:
//  A: address 0x1A at 115200, every result 25000;
//  B: address 0x05 at 115200, results count up from 100;
//  C: address 0x1A at 19200 (the same address at another speed), every result 111.
#include "SimTestPort.h"
#include "sim/SimBus.h"
#include "sim/SimCrc.h"

#include <gtest/gtest.h>

#include <memory>

inline QByteArray hexBytes(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// A Modbus frame: the body in hex and its CRC.
inline QByteArray mb(const char* body)
{
    return simWithCrc(hexBytes(body));
}

class SimBusTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        SimSensorConfig config;
        config.address = 0x1A;
        config.speed = 115200;
        config.model = "VLT-250";
        config.range = 250.0;
        config.distance = 400.0;
        config.serial = 123456;
        config.mode = SimMeasureMode::Fixed;
        config.value = 25000;
        sensorA = bus.addSensor(config);
        config.address = 0x05;
        config.mode = SimMeasureMode::Counter;
        config.value = 100;
        sensorB = bus.addSensor(config);
        config.address = 0x1A;
        config.speed = 19200;
        config.mode = SimMeasureMode::Fixed;
        config.value = 111;
        sensorC = bus.addSensor(config);
        ASSERT_GE(sensorC, 0);
        QString error;
        ASSERT_TRUE(bus.start(&error)) << error.toStdString();
        port = std::make_unique<SimTestPort>(bus.slavePath(), 115200);
        ASSERT_TRUE(port->isOpen());
    }

    // Sends `request` and returns what came back: `expected.size()` bytes if they come within
    // `timeoutMs`, plus anything that follows right after; with nothing expected, all that comes
    // within `quietMs` after the bus has taken the request in, so that a busy machine cannot make
    // silence look like an answer not given.
    QByteArray exchange(const QByteArray& request, const QByteArray& expected, int timeoutMs = 300,
                        int quietMs = 40)
    {
        const qsizetype before = timesHeard(request);
        EXPECT_TRUE(port->write(request));
        if (expected.isEmpty()) {
            waitHeard(request, before);
            return port->readFor(quietMs);
        }
        QByteArray got = port->readUntil(expected.size(), timeoutMs);
        return got + port->readFor(3);
    }

    // How often the bus has logged a frame (or noise) ending in `bytes`.
    qsizetype timesHeard(const QByteArray& bytes) const
    {
        qsizetype count = 0;
        for (const SimFrameRecord& r : bus.frames()) {
            if (r.direction != SimFrameRecord::Direction::Sent && r.bytes.endsWith(bytes))
                ++count;
        }
        return count;
    }

    // The bus acts on a frame as it logs it; an unfinished frame is never logged, so the wait is
    // bounded.
    void waitHeard(const QByteArray& bytes, qsizetype before, int timeoutMs = 500) const
    {
        for (int waited = 0; waited < timeoutMs && timesHeard(bytes) <= before; waited += 2)
            usleep(2000);
    }

    SimBus bus;
    int sensorA = -1;
    int sensorB = -1;
    int sensorC = -1;
    std::unique_ptr<SimTestPort> port;
};
