#include "operations/TThread3Unit.h"
#include "app/Unit1.h"
#include "app/Unit_Utils.h"
#include "operations/OperationLog.h"
#include "operations/OperationState.h"
#include "operations/TOperationThreads.h"
#include "operations/TTrdDeviceUnit.h"
#include "protocol/DeviceUnit.h"
#include "protocol/LinkState.h"
#include "protocol/ParamSet.h"
#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
#include <chrono>
#include <exception>

namespace {
constexpr std::chrono::milliseconds ModbusPause{100};
// The time of this many bits at the old speed lets the last request leave the line.
constexpr int SwitchPauseBits = 200;

TDevice* SelectedRecord(const TForm1& form)
{
    try {
        return form.ChangeDevice(form.ComboBox1->currentText());
    } catch (const EConvertError&) {
        return nullptr;
    }
}

void EnableAfterWrite(TForm1& form)
{
    form.PageControl1->setEnabled(true);
    form.ComboBox1->setEnabled(true);
    form.ActivateModbus();
}

// The old address text as the record keeps it: two upper-case hexadecimal digits.
QByteArray OldAddressHex(bool& ok)
{
    const int number = OldAddressDec.load().trimmed().toInt(&ok, 10);
    return QByteArray::number(number, 16).toUpper().rightJustified(2, '0');
}

void RestoreOldAddress(TForm1& form, TDevice* record)
{
    bool isNumber = false;
    const QByteArray hex = OldAddressHex(isNumber);
    if (!isNumber || !record) {
        qCWarning(lcOperations) << "old address" << OldAddressDec.load()
                                << "of the failed write not restored";
        return;
    }
    record->AdressStr = hex;
    form.UpdateComboBoxOfAdres(OldAddressDec.load());
}
} // namespace

void UndoParamWriteStart(TForm1& form, TDevice& record)
{
    RestoreOldAddress(form, &record);
    WritePending = false;
    EnableAfterWrite(form);
}

void RollBackParameterWrite(TForm1& form)
{
    form.Label_Hint->show();
    WritePending = false;
    if (!AddressWritten)
        RestoreOldAddress(form, SelectedRecord(form));
}

bool TThread3::SendWrite(const QByteArray& reg, const QByteArray& data)
{
    return SendLoop([&reg, &data](TDevice& record) { return record.WriteParam(reg, data); });
}

bool TThread3::SwitchLineSpeed(int newSpeed)
{
    int oldSpeed = newSpeed;
    Synchronize([this, &oldSpeed] {
        if (const TDevice* const record = SelectedRecord(form_))
            oldSpeed = record->ComPortSpeed.load();
    });
    if (oldSpeed == newSpeed)
        return true;
    // Waited here rather than on the main thread: the order on the line is the same.
    if (oldSpeed > 0 && !PauseWorker(*this, std::chrono::milliseconds(SwitchPauseBits * 1000 / oldSpeed)))
        return false;
    Synchronize([this, newSpeed] {
        if (TDevice* const record = SelectedRecord(form_)) {
            record->ComPortSpeed = newSpeed;
            form_.SetComPortSpeed(newSpeed);
        }
    });
    return true;
}

// The address write goes to the old address and its echo comes from the new one, under which
// the record is already listed; every later request goes to the new address.
bool TThread3::WriteStandard(const std::vector<TRegisterWrite>& writes, int newSpeed)
{
    if (writes.size() < 2 || !SendWrite(writes[0].Register, writes[0].Value))
        return false;
    WriteAddress.store(NewAddressHex.load());
    if (!SendWrite(writes[1].Register, writes[1].Value))
        return false;
    AddressWritten = true;
    for (std::size_t i = 2; i < writes.size(); ++i) {
        if (!SendWrite(writes[i].Register, writes[i].Value))
            return false;
    }
    return SwitchLineSpeed(newSpeed) && WaitLoop();
}

bool TThread3::WriteModbus(const QByteArray& flags, const QByteArray& block, int newSpeed)
{
    Synchronize([] { ReceiveBuffer.clear(); });
    WriteFlagsOnly = true;
    if (!SendWrite({}, flags) || !PauseWorker(*this, ModbusPause))
        return false;
    Synchronize([] { ReceiveBuffer.clear(); });
    // The block's frame is built only once the flags echo has been handled: until then the frame
    // builder still takes the next write for the flag register's.
    if (!WaitLoop() || !SendWrite({}, block) || !PauseWorker(*this, ModbusPause))
        return false;
    if (!SwitchLineSpeed(newSpeed) || !WaitLoop())
        return false;
    WriteAddress.store(NewAddressHex.load());
    AddressWritten = true;
    return true;
}

void TThread3::Execute()
{
    AddressWritten = false;
    try {
        const bool modbus = ProtocolMode.load() == 1;
        std::vector<TRegisterWrite> writes;
        QByteArray flags;
        QByteArray block;
        int newSpeed = 0;
        // The page is read on the main thread; it stays disabled while the write runs.
        Synchronize([&] {
            form_.SetStatusText(1, QStringLiteral("Запись..."));
            const TParamTexts page = form_.ParamPageTexts();
            newSpeed = LineSpeedOf(page.rows[ParamRow::Uart]);
            if (modbus) {
                flags = ModbusFlagBytes(page);
                block = ModbusBlockBytes(page);
                return;
            }
            const TDevice* const record = SelectedRecord(form_);
            if (!record)
                throw EWorkerLookup("no sensor record for the address box");
            writes = StandardWrites(page, *record);
        });
        if (!(modbus ? WriteModbus(flags, block, newSpeed) : WriteStandard(writes, newSpeed)))
            return; // stopped: the timeout handling rolls back
    } catch (const EOperationsClosing&) {
        throw;
    } catch (const std::exception&) {
        // No timeout follows: the rollback and the controls are seen to here.
        Synchronize([this] {
            RollBackParameterWrite(form_);
            EnableAfterWrite(form_);
            form_.SetStatusText(1, QString());
        });
        throw;
    }
    Synchronize([this] {
        form_.SetStatusText(1, QStringLiteral("Параметры записаны"));
        EnableAfterWrite(form_);
        WritePending = false;
    });
}
