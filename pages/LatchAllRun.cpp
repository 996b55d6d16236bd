#include "pages/LatchAllRun.h"
#include "app/Unit1.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "protocol/LinkState.h"
#include <utility>

std::vector<int> LatchAllSpeeds(const std::vector<int>& ascendingSpeeds)
{
    std::vector<int> speeds;
    for (const int speed : ascendingSpeeds)
        if (speeds.empty() || speeds.back() != speed)
            speeds.push_back(speed);
    if (speeds.size() < 2)
        speeds.clear();
    return speeds;
}

TLatchAllRun::TLatchAllRun(TForm1& form, std::vector<int> speeds, int pauseMs)
    : QObject(&form), form_(form), speeds_(std::move(speeds))
{
    pause_.setSingleShot(true);
    pause_.setInterval(pauseMs);
    pause_.setTimerType(Qt::PreciseTimer);
    connect(&pause_, &QTimer::timeout, this, &TLatchAllRun::Next);
}

TLatchAllRun::~TLatchAllRun()
{
    ReleaseLauncher();
}

void TLatchAllRun::Start()
{
    running_ = true;
    bool idle = false;
    holdsLauncher_ = OperationRunning.compare_exchange_strong(idle, true);
    if (speeds_.empty()) {
        Broadcast();
        Finish();
        return;
    }
    Next();
}

void TLatchAllRun::Next()
{
    if (next_ == speeds_.size()) {
        Finish();
        return;
    }
    form_.SetComPortSpeed(speeds_[next_++]);
    Broadcast();
    pause_.start();
}

// The broadcast names no record; any record can send it.
void TLatchAllRun::Broadcast()
{
    if (TDevice* const device = Devices.At(0))
        device->ReadAllSwitchResult();
}

void TLatchAllRun::Finish()
{
    form_.SetStatusText(1, QStringLiteral("Результаты защёлкнуты"));
    form_.AddLatchRow(-1, LatchConfirmColumn, QStringLiteral("           Защёлкнуты все"));
    form_.LineToSelectedSpeed();
    ReleaseLauncher();
    running_ = false;
    deleteLater();
}

void TLatchAllRun::ReleaseLauncher()
{
    if (std::exchange(holdsLauncher_, false))
        OperationRunning = false;
}
