#include "sim/DemoBus.h"

#include "sim/SimBus.h"

#include <vector>

std::vector<SimSensorConfig> simDemoSensors()
{
    // Addresses 1-3 are found with the search's default bound; 26 needs a wider one.
    std::vector<SimSensorConfig> sensors(4);
    sensors[0].address = 1;
    sensors[0].speed = 115200;
    sensors[0].model = "VLT-250 DEMO";
    sensors[0].range = 250.0;
    sensors[0].distance = 400.0;
    sensors[0].serial = 210341;
    sensors[1].address = 2;
    sensors[1].speed = 9600;
    sensors[1].model = "VLT-50 DEMO";
    sensors[1].range = 50.0;
    sensors[1].distance = 120.0;
    sensors[1].serial = 190027;
    sensors[2].address = 3;
    sensors[2].speed = 57600;
    sensors[2].model = "VLT-1000 DEMO";
    sensors[2].range = 1000.0;
    sensors[2].distance = 1500.0;
    sensors[2].serial = 220518;
    sensors[3].address = 0x1A;
    sensors[3].speed = 921600;
    sensors[3].model = "VLT-10 DEMO";
    sensors[3].range = 10.0;
    sensors[3].distance = 30.0;
    sensors[3].serial = 230904;
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
