#include "sim/DemoBus.h"

#include "sim/SimBus.h"

#include <vector>

std::vector<SimSensorConfig> simDemoSensors()
{
    // Addresses 1-3 are found with the search's default bound; 26 needs a wider one.
    struct Demo {
        int address, speed;
        const char* model;
        double range, distance;
        int serial;
    };
    static const Demo demos[] = {
        {1, 115200, "VLT-250 DEMO", 250.0, 400.0, 210341},
        {2, 9600, "VLT-50 DEMO", 50.0, 120.0, 190027},
        {3, 57600, "VLT-1000 DEMO", 1000.0, 1500.0, 220518},
        {0x1A, 921600, "VLT-10 DEMO", 10.0, 30.0, 230904},
    };
    std::vector<SimSensorConfig> sensors;
    for (const Demo& d : demos) {
        SimSensorConfig c;
        c.address = d.address;
        c.speed = d.speed;
        c.model = d.model;
        c.range = d.range;
        c.distance = d.distance;
        c.serial = d.serial;
        sensors.push_back(c);
    }
    return sensors;
}

SimDemoBus::SimDemoBus() = default;

SimDemoBus::~SimDemoBus() = default;

bool SimDemoBus::start(QString* error)
{
    stop();
    auto bus = std::make_unique<SimBus>();
    for (const SimSensorConfig& config : simDemoSensors())
        bus->addSensor(config);
    if (!bus->start(error))
        return false;
    bus_ = std::move(bus);
    return true;
}

QString SimDemoBus::slavePath() const
{
    return bus_ ? bus_->slavePath() : QString();
}

void SimDemoBus::stop()
{
    bus_.reset();
}

bool SimDemoBus::isRunning() const
{
    return bus_ != nullptr;
}
