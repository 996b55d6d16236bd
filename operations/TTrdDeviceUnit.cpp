#include "operations/TTrdDeviceUnit.h"
#include "app/Unit1.h"
#include "operations/TOperationThreads.h"
#include "protocol/DeviceUnit.h"
#include "protocol/LinkState.h"
#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
#include <algorithm>
#include <array>
#include <chrono>
#include <exception>
#include <thread>

namespace {
using TRead = bool (TDevice::*)();

// Registers 01 to 22 in ascending order.
constexpr std::array<TRead, 34> StandardReads{
    &TDevice::ReadPAdress,
    &TDevice::ReadGaugeOnOff,
    &TDevice::ReadAnalogExit,
    &TDevice::ReadThreadOnOff,
    &TDevice::ReadSynhro,
    &TDevice::ReadByteFormat,
    &TDevice::ReadUart,
    &TDevice::ReadPeriodLo,
    &TDevice::ReadPeriodHi,
    &TDevice::ReadConstantLo,
    &TDevice::ReadConstantHi,
    &TDevice::ReadTimeLo,
    &TDevice::ReadTimeHi,
    &TDevice::ReadTypeData,
    &TDevice::ReadMiddlePoint,
    &TDevice::ReadMedianPoint,
    &TDevice::ReadLowLevelAnalogExitLo,
    &TDevice::ReadLowLevelAnalogExitHi,
    &TDevice::ReadHighLevelAnalogExitLo,
    &TDevice::ReadHighLevelAnalogExitHi,
    &TDevice::ReadDiscreetExit,
    &TDevice::ReadFirstDiffFirstDiscreetExitLo,
    &TDevice::ReadFirstDiffFirstDiscreetExitHi,
    &TDevice::ReadSecondDiffFirstDiscreetExitLo,
    &TDevice::ReadSecondDiffFirstDiscreetExitHi,
    &TDevice::ReadFirstDiffSecondDiscreetExitLo,
    &TDevice::ReadFirstDiffSecondDiscreetExitHi,
    &TDevice::ReadSecondDiffSecondDiscreetExitLo,
    &TDevice::ReadSecondDiffSecondDiscreetExitHi,
    &TDevice::ReadR,
    &TDevice::ReadOI,
    &TDevice::ReadCorrezLo,
    &TDevice::ReadCorrezHi,
    &TDevice::ReadCorrezSign,
};

// A Modbus sensor is given this long after each request.
constexpr std::chrono::milliseconds ModbusPause{100};
} // namespace

bool PauseWorker(const TWorkerThread& worker, std::chrono::milliseconds span)
{
    constexpr std::chrono::milliseconds Step{10};
    const auto until = std::chrono::steady_clock::now() + span;
    while (!worker.Terminated()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= until)
            return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(Step, until - now));
    }
    return false;
}

void UndoParamReadStart(TForm1& form)
{
    form.PageControl1->setEnabled(true);
    form.ComboBox1->setEnabled(true);
    form.ActivateModbus();
    const int index = form.ComboBox1->currentIndex();
    if (index >= 0 && static_cast<std::size_t>(index) < form.ParamsLoaded.size())
        form.ParamsLoaded[static_cast<std::size_t>(index)] = false;
    form.Label_Hint->show();
    form.SetStatusText(1, QString());
    ExpectAllParams = false;
    ExpectFlags = false;
}

void TTrdDevice::ShowReading()
{
    Synchronize([this] { form_.SetStatusText(1, QStringLiteral("Чтение...")); });
}

bool TTrdDevice::ReadParameters()
{
    if (ProtocolMode.load() == 1) {
        Synchronize([] { ReceiveBuffer.clear(); });
        if (!SendLoop(&TDevice::Read_Flag_modbus))
            return false;
        if (!PauseWorker(*this, ModbusPause))
            return false;
        Synchronize([] { ReceiveBuffer.clear(); });
        if (!SendLoop(&TDevice::ReadAllParam_modbus))
            return false;
        // The page is filled only once the block has been decoded: filled before, it would show the
        // previous values under "Чтение параметров завершено".
        return PauseWorker(*this, ModbusPause) && WaitLoop();
    }
    for (const TRead read : StandardReads) {
        if (!SendLoop(read))
            return false;
    }
    return WaitLoop();
}

void TTrdDevice::FillSelected()
{
    Synchronize([this] {
        TDevice* record = nullptr;
        try {
            record = form_.ChangeDevice(form_.ComboBox1->currentText());
        } catch (const std::exception&) {
            record = nullptr;
        }
        if (record)
            form_.FillForm(*record);
        else
            UndoParamReadStart(form_);
    });
}

void TTrdDevice::Execute()
{
    try {
        ShowReading();
        if (!WaitLoop() || !ReadParameters())
            return; // stopped: the timeout handling gives the window back
    } catch (const EOperationsClosing&) {
        throw;
    } catch (const std::exception&) {
        // The address box names no sensor: no timeout follows that would enable the controls.
        Synchronize([this] { UndoParamReadStart(form_); });
        throw;
    }
    FillSelected();
}
