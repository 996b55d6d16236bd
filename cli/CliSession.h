#pragma once
// One port of the command line: its bus object, the demonstration bus behind "DEMO", and the
// operations run one after the other to their outcome, each wait bounded and ended early by
// Ctrl+C.
#include "bus/SensorBus.h"
#include "cli/CliArgs.h"
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class SimDemoBus;

// Ctrl+C and SIGTERM as the commands see them: how many have come.
class TInterrupt : public QObject {
    Q_OBJECT
  public:
    int Count() const { return count_; }
    void Raise();

  signals:
    void Raised(int count);

  private:
    int count_ = 0;
};

// What went wrong, as the command line reports it: the exit code and one line.
struct TCliFailure {
    int Code = 0;
    QString Message;
};

class TCliSession : public QObject {
    Q_OBJECT
  public:
    TCliSession(const TCliArgs& args, const QString& port, TInterrupt& interrupt);
    ~TCliSession() override;

    TSensorBus& Bus() { return bus_; }
    // The port as the user named it.
    const QString& PortName() const { return portName_; }

    // Resolves the port (COMn, DEMO); false with the failure when it cannot be had.
    bool Prepare(TCliFailure& failure);

    // Launches an operation with launch and waits for its outcome; the bus then takes
    // operations again. Ctrl+C stops a write after the register at hand and anything else at
    // once (the outcome is then Stopped and Interrupted() is true).
    TOutcome Run(const std::function<bool(TSensorBus&)>& launch);
    // The line speeds the command searches: --speeds, or for one sensor its --speed (none: all).
    std::vector<int> CommandSpeeds() const;
    // Starts a search of the addresses first..last at speeds (none: all eight) without waiting
    // (inventory runs several at a time); false with the failure when the port does not open.
    bool StartSearch(int first, int last, const std::vector<int>& speeds, TCliFailure& failure);
    // Searches, and waits for its end.
    TOutcome Search(int first, int last, const std::vector<int>& speeds, TCliFailure& failure);
    // The sensor at the command's address: found by a quick search of that address at --speed or
    // at every speed. Null with the failure when it does not answer or answers at two speeds.
    TDevice* Locate(TCliFailure& failure);
    // Whether a sensor answers a request to address at speed within the timeout; none, with the
    // failure, when that cannot be told. The sensor list is emptied.
    std::optional<bool> Answers(int address, int speed, TCliFailure& failure);

    bool Interrupted() const { return interrupted_; }
    // Waits for condition to hold, at most timeoutMs; false after a timeout or an interrupt.
    bool WaitFor(const std::function<bool()>& condition, int timeoutMs);

    // The failure an outcome stands for; name: the sensor or port it concerns.
    TCliFailure FailureOf(const TOutcome& outcome, const QString& name) const;
    // "/dev/ttyUSB0, sensor 1A".
    QString SensorName(const TDevice& device) const;
    QString SensorName(const QByteArray& addressText) const;
    // How long an operation (a search, or another) may take at most before its report is taken
    // for lost: the bus's own watchdogs end it well before.
    int BoundMs(bool search) const;

  private:
    bool Open(TCliFailure& failure);

    const TCliArgs& args_;
    QString portName_;
    QString devicePath_;
    TInterrupt& interrupt_;
    std::unique_ptr<SimDemoBus> demo_;
    TSensorBus bus_;
    bool interrupted_ = false;
};
