#pragma once
// A simulated sensor bus on a pseudo-terminal. The program opens slavePath() (or the link made at
// start) like any serial port; the bus answers from the master side on a thread of its own, the way
// the sensors on a real RS-485 line would: only at their own line speed, only to frames addressed
// to them, a byte at a time at the line's pace. Every public function may be called from any
// thread. Sensors are named by the index addSensor() returned.
#include "sim/SimFrameLog.h"
#include "sim/SimRegisters.h"
#include "sim/SimTypes.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

class SimBus {
  public:
    SimBus();
    ~SimBus();
    SimBus(const SimBus&) = delete;
    SimBus& operator=(const SimBus&) = delete;

    // Returns the new sensor's index, or -1 (and the reason in *error) for a configuration no
    // sensor can have. Sensors may be added while the bus runs.
    int addSensor(const SimSensorConfig& config, QString* error = nullptr);
    int sensorCount() const;

    // Opens the pseudo-terminal and starts serving it; with a link path, also points a symbolic
    // link there at the slave.
    bool start(QString* error, const QString& linkPath = {});
    // Stops serving, closes the pseudo-terminal and removes the link.
    void stop();
    bool isRunning() const;
    QString slavePath() const;
    QString linkPath() const;
    // The speed the program has set the port to, in baud; 0 while no port exists.
    int lineSpeed() const;

    // The port disappears as an unplugged adapter would: the master closes (the program's
    // descriptor hangs up) and the link goes. reappear() brings a new pseudo-terminal and
    // points the same link at it.
    void vanish();
    bool reappear(QString* error);
    bool isVanished() const;

    // Puts bytes on the line at once, whatever its speed, as noise or a stranger on the bus would;
    // they may land in the middle of a sensor's reply. Lost while the program has the port closed.
    void injectLine(const QByteArray& bytes);

    void setFaults(int sensor, const SimFaults& faults);
    SimFaults faults(int sensor) const;
    SimSensorStatus status(int sensor) const;
    SimRegisters registers(int sensor) const;
    void setRegister(int sensor, int code, std::uint8_t value);
    void setMeasurement(int sensor, SimMeasureMode mode, std::uint16_t value);
    void setResultRates(int sensor, double outOfRange, double noResult);
    void powerCycle(int sensor);

    std::vector<SimFrameRecord> frames() const;
    // The bytes of every frame received from the program, oldest first.
    std::vector<QByteArray> receivedFrames() const;
    void clearLog();
    void setLogSink(SimFrameLog::Sink sink);

    // CPU time the bus thread has used, in seconds.
    double threadCpuSeconds() const;

  private:
    struct State;
    std::unique_ptr<State> d;
};
