#pragma once
// Command line of the veltrano-sim tool.
#include "sim/SimTypes.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

struct SimSensorOption {
    SimSensorConfig config;
    std::optional<int> objectType; // register R1F
    std::optional<int> period;     // registers R08/R09, tenths of a millisecond
    std::optional<int> constant;   // registers R0A/R0B, n
};

// Faults for the first sensor with this address (and speed, when given).
struct SimFaultOption {
    int address = 0;
    int speed = 0; // 0: any speed
    SimFaults faults;
};

struct SimOptions {
    QString linkPath;
    std::vector<SimSensorOption> sensors;
    std::vector<SimFaultOption> faults;
    bool log = false;
    bool help = false;
};

// `args` without the program name. On a mistake returns nothing and the reason in *error.
std::optional<SimOptions> simParseOptions(const QStringList& args, QString* error);
QString simUsage();
