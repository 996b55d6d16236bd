#include "protocol/ReceivePath.h"
#include "app/Unit_Utils.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "protocol/Frames.h"
#include "protocol/LinkState.h"
#include "protocol/LinkView.h"
#include "protocol/ModbusReply.h"
#include "protocol/ReceiveFraming.h"
#include "protocol/ReplyTexts.h"
#include <QLoggingCategory>
#include <algorithm>
#include <exception>

namespace {
Q_LOGGING_CATEGORY(lcReceive, "veltrano.link.receive", QtWarningMsg)

std::size_t receivedFrameLength = 0;

void ReportDecodingError(TLinkView& view)
{
    view.SetStatusText(2, QString::fromUtf8(ReplyText::DecodingError));
    view.StartErrorClear();
}

// GetAnswer of device; false when it raised, which is reported.
bool Decode(TLinkView& view, TDevice& device, const QByteArray& line)
{
    try {
        device.GetAnswer(line);
        return true;
    } catch (const std::exception& e) {
        qCDebug(lcReceive) << "reply" << line << "not decoded:" << e.what();
        ReportDecodingError(view);
        return false;
    }
}

void CreateSearchRecord(const QByteArray& adressText)
{
    if (CreateSearchDevice(adressText))
        ReplyReceived = true;
    else
        qCDebug(lcReceive) << "sensor list full, answer of" << adressText << "dropped";
}

// The record of the address box entry; nullptr when the text is no number or names no record.
TDevice* SelectedRecord()
{
    try {
        return FindDevice(SelectedAddressText());
    } catch (const EConvertError&) {
        return nullptr;
    }
}

void DispatchStandard(TLinkView& view, const QByteArray& line)
{
    // While the selected sensor streams, every line belongs to it, whatever address it carries.
    TDevice* const selected = SelectedRecord();
    if (!selected) {
        ReportDecodingError(view);
    } else if (selected->threadResultIsExec && Decode(view, *selected, line)) {
        return; // the decoder has handed the token back
    }

    const int address = HexAddressNumber(line.mid(1, 2));
    TDevice* const device = address < 0 ? nullptr : FindDeviceInt(address);
    if (!device) {
        qCDebug(lcReceive) << "reply" << line << "names no known sensor";
        return;
    }
    // The decoder hands the token back as its last act; handing it back a second time could let
    // a waiting worker send two requests for one reply.
    if (!Decode(view, *device, line))
        ReplyReceived = true;
}

void ReceiveStandard(TLinkView& view, const QByteArray& chunk)
{
    ReceiveBuffer.append(chunk);
    if (ReceiveBuffer.size() > MaxStandardReceiveBytes) {
        qCDebug(lcReceive) << "line too long," << ReceiveBuffer.size() - MaxStandardReceiveBytes
                           << "oldest bytes dropped";
        ReceiveBuffer.remove(0, ReceiveBuffer.size() - MaxStandardReceiveBytes);
        ReportDecodingError(view);
    }
    // A reply is complete only with its CR; the bytes before it wait for the chunk that brings it.
    if (!chunk.contains('\r'))
        return;
    QByteArray line = TakeStandardLine(ReceiveBuffer);
    if (!DropToReplyStart(line))
        return;
    if (SearchMode) {
        if (const auto adressText = SearchReplyAddress(line))
            CreateSearchRecord(*adressText);
        return;
    }
    DispatchStandard(view, line);
}

// A sensor answers both requests of a Modbus parameter write from the address it had, while the
// record being written (the selected one) already carries the new address. Such an echo from the
// address of WriteAddress, which holds the old text until the block has been answered, belongs to
// that record. Exception replies are not taken: a refused write leaves the old address in the
// sensor, and the timeout's rollback restores it in the record.
TDevice* AddressChangeEchoRecord(std::uint8_t address, std::size_t size)
{
    if (!OperationRunning || HexAddressNumber(WriteAddress.load()) != address)
        return nullptr;
    const TModbusFrame frame(FrameBuffer.data(), size);
    const bool echo = WriteFlagsOnly ? IsFlagWriteEcho(frame) : IsBlockWriteEcho(frame);
    return echo ? SelectedRecord() : nullptr;
}

void ReceiveModbus(TLinkView& view, const QByteArray& chunk)
{
    // Bytes that no longer fit the frame buffer cannot be one frame. Everything before this chunk
    // is dropped at once rather than left to the frame timeout; the chunk, which may be the start
    // of the awaited reply, begins the next frame when it fits on its own.
    if (ReceiveBuffer.size() + chunk.size() > static_cast<qsizetype>(FrameBuffer.size())) {
        qCDebug(lcReceive) << "Modbus bytes beyond" << FrameBuffer.size() << "dropped";
        view.SetStatusText(2, QString::fromUtf8(ReplyText::FrameError));
        view.StartErrorClear();
        view.StopFrameTimeout();
        ReceiveBuffer.clear();
        if (chunk.size() > static_cast<qsizetype>(FrameBuffer.size()))
            return;
    }
    ReceiveBuffer.append(chunk);

    const auto size = static_cast<std::size_t>(ReceiveBuffer.size());
    std::copy_n(reinterpret_cast<const std::uint8_t*>(ReceiveBuffer.constData()), size, FrameBuffer.begin());
    receivedFrameLength = size;
    if (!IsCompleteModbusFrame(FrameBuffer.data(), size)) {
        view.StartFrameTimeout();
        return;
    }
    view.StopFrameTimeout();

    const std::uint8_t address = FrameBuffer[0];
    if (SearchMode) {
        if (address != 0) {
            CreateSearchRecord(AddressText(address));
            ReceiveBuffer.clear();
        }
        return;
    }
    TDevice* device = FindDeviceInt(address);
    if (!device) {
        device = AddressChangeEchoRecord(address, size);
        if (!device) {
            // The frame is whole and no one's: kept, it would spoil the CRC of the reply after it.
            qCDebug(lcReceive) << "Modbus frame for unknown address" << address;
            ReceiveBuffer.clear();
            return;
        }
        qCDebug(lcReceive) << "write echo from the old address" << address << "for"
                           << device->AdressStr.load();
    }
    try {
        device->GetAnswer_modbus();
    } catch (const std::exception& e) {
        qCDebug(lcReceive) << "Modbus frame not decoded:" << e.what();
        ReportDecodingError(view);
    }
}
} // namespace

void ReceiveChunk(const char* data, int size)
{
    if (!data || size <= 0)
        return;
    TLinkView& view = LinkView();
    const QByteArray chunk(data, size);
    try {
        if (ProtocolMode.load() == 1)
            ReceiveModbus(view, chunk);
        else
            ReceiveStandard(view, chunk);
    } catch (const std::exception& e) {
        // Nothing may leave the receive event for the event loop.
        qCWarning(lcReceive) << "receive event failed:" << e.what();
        ReportDecodingError(view);
    }
}

std::size_t ReceivedFrameLength()
{
    return receivedFrameLength;
}
