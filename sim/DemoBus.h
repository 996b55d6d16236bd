#pragma once
// The demonstration bus behind the port entry "DEMO": a simulated bus inside the program with a
// few sensors of different models at different addresses and line speeds, so that every function
// can be tried without hardware.
#include <QString>
#include <memory>
#include <vector>

class SimBus;

class SimDemoBus {
  public:
    SimDemoBus();
    ~SimDemoBus();
    SimDemoBus(const SimDemoBus&) = delete;
    SimDemoBus& operator=(const SimDemoBus&) = delete;

    // Starts the bus; on failure returns false with the reason in *error. Starting a running bus
    // restarts it with fresh sensors.
    bool start(QString* error);
    // The device path to open, empty while stopped.
    QString slavePath() const;
    void stop();
    bool isRunning() const;

    // The underlying bus, for tests that want to look at the traffic; null while stopped.
    SimBus* bus() const { return bus_.get(); }

  private:
    std::unique_ptr<SimBus> bus_;
};

struct SimSensorConfig;
// The sensors of the demonstration bus, also used by the command-line tool when none are given.
std::vector<SimSensorConfig> simDemoSensors();
