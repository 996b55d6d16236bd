#include "protocol/ReceivePath.h"
#include "convert/Unit_Utils.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "protocol/Frames.h"
#include "protocol/ModbusReply.h"
#include "protocol/ReceiveFraming.h"
#include "protocol/RegisterMap.h"
#include "protocol/StreamGroups.h"
#include <QLoggingCategory>
#include <algorithm>
#include <array>
#include <exception>

namespace {
Q_LOGGING_CATEGORY(lcReceive, "veltrano.link.receive", QtWarningMsg)

// Bytes that no longer fit this buffer cannot be one Modbus frame.
constexpr qsizetype ModbusFrameCapacity = 255;

struct TCommandEvent {
    const char* command;
    TReplyEvent event;
};
// The echoes that tell the client something; that of "FL" only ends its request.
constexpr TCommandEvent CommandEvents[] = {
    {"SU", TReplyEvent::Configured},  {"ON", TReplyEvent::SwitchedOn}, {"OF", TReplyEvent::SwitchedOff},
    {"DF", TReplyEvent::DefaultsSet}, {"FX", TReplyEvent::Latched},
};

const TCommandEvent* CommandEventOf(const QByteArray& command)
{
    const auto* const end = std::end(CommandEvents);
    const auto* const found = std::find_if(std::begin(CommandEvents), end,
                                           [&](const TCommandEvent& e) { return command == e.command; });
    return found == end ? nullptr : found;
}

// The two hexadecimal digits after "!", the address text and a three-character code.
std::uint8_t RegisterValue(const QByteArray& reply)
{
    return HexToByte(reply.mid(6, 2));
}

// The line with its address digits in upper case, as the record keeps them: a sensor that sends
// them in lower case still answers.
QByteArray NormalisedLine(QByteArray line)
{
    if (line.size() >= 3) {
        line[1] = QChar::toUpper(static_cast<char16_t>(static_cast<unsigned char>(line[1])));
        line[2] = QChar::toUpper(static_cast<char16_t>(static_cast<unsigned char>(line[2])));
    }
    return line;
}

bool MatchesStandard(const TRequest& request, const QByteArray& line)
{
    const char lead = request.Kind == TRequestKind::ReadIdent ? '%' : '!';
    if (line.isEmpty() || line[0] != lead || HexAddressNumber(line.mid(1, 2)) != request.ReplyAddress)
        return false;
    // The stop's echo is told from the stream's samples by being exactly that.
    if (request.Kind == TRequestKind::StreamStop)
        return line.mid(3) == request.Head + '\r';
    return request.Kind == TRequestKind::ReadIdent || line.mid(3).startsWith(request.Head);
}

// Checks a Modbus reply against the request, as a careful master checks a confirmation:
// function, register and count, or the byte count it must carry.
bool AnswersModbus(const TRequest& request, TModbusFrame frame)
{
    switch (request.Function) {
    case ModbusFunction::ReadRegisters:
        return CarriesData(frame, request.ModbusByteCount());
    case ModbusFunction::WriteRegister:
    case ModbusFunction::WriteRegisters:
        return HasReplyLayout(frame) && FrameWord(frame, 2) == request.Register &&
               FrameWord(frame, 4) == request.Value;
    default:
        return false;
    }
}
} // namespace

void TReceivePath::SetProtocol(TProtocol protocol)
{
    if (protocol == protocol_)
        return;
    protocol_ = protocol;
    Clear();
}

void TReceivePath::Clear()
{
    ReportLeftover();
    buffer_.clear();
    sink_.FrameTimeout(false);
}

void TReceivePath::SetSearching(bool on)
{
    searching_ = on;
    lastProbe_.reset();
}

void TReceivePath::SetStreaming(TDevice* device)
{
    streaming_ = device;
    if (device)
        streamQuiet_ = false;
}

void TReceivePath::Sent(const TRequestPtr& request)
{
    if (request->Kind == TRequestKind::Probe) {
        // An answer still arriving when the next probe leaves keeps its start, unless the line has
        // changed speed since: its rest was purged with the switch.
        const bool samePass = lastProbe_ && lastProbe_->Speed == request->Speed;
        const QByteArray kept =
            samePass ? KeepAnswerStart(buffer_, lastProbe_->ReplyAddress, protocol_) : QByteArray();
        if (kept.isEmpty()) {
            ReportLeftover();
            sink_.FrameTimeout(false);
        }
        buffer_ = kept;
        lastProbe_ = request;
        return;
    }
    // Modbus frames are told apart by the silence between them: whatever came before the request
    // cannot be part of its reply. A standard line ends with its CR, and a stream line's last group
    // may still be arriving, so the standard buffer stays.
    if (protocol_ == TProtocol::Modbus)
        Clear();
    if (request->ExpectsReply())
        pending_ = request;
}

void TReceivePath::Receive(const TChunk& chunk)
{
    if (chunk.Bytes.isEmpty())
        return;
    try {
        if (protocol_ == TProtocol::Modbus)
            ReceiveModbus(chunk);
        else
            ReceiveStandard(chunk);
    } catch (const std::exception& e) {
        // Nothing may leave the receive path for the event loop.
        qCWarning(lcReceive) << "receive failed:" << e.what();
        sink_.Error(TReceiveError::Decoding);
    }
}

bool TReceivePath::Awaits(TProtocol protocol) const
{
    return pending_ && pending_->Protocol == protocol && pending_->State.load() == TRequestState::Pending;
}

void TReceivePath::Answer(TRequest& request, TRequestState state)
{
    if (request.Finish(state))
        sink_.Completed(request);
    if (pending_.get() == &request)
        pending_.reset();
}

void TReceivePath::Drop(const char* why)
{
    ++unmatched_;
    qCDebug(lcReceive) << "dropped:" << why;
}

void TReceivePath::Report(const QByteArray& bytes, TFrameStatus status, int address, const TRequest* request,
                          const TChunk& chunk, bool stream)
{
    if (bytes.isEmpty())
        return;
    THeardFrame frame;
    frame.Bytes = bytes;
    frame.Status = status;
    frame.Address = address;
    frame.Request = request;
    frame.Stream = stream;
    frame.FirstAt = chunk.FirstAt;
    frame.ReadAt = chunk.ReadAt;
    frame.Speed = chunk.Speed;
    sink_.Heard(frame);
}

void TReceivePath::ReportLeftover()
{
    if (buffer_.isEmpty())
        return;
    // Modbus bytes long enough for a reply are one whose CRC never checked, or one cut short.
    if (protocol_ == TProtocol::Modbus && buffer_.size() >= 4)
        Report(buffer_, TFrameStatus::CrcError, static_cast<std::uint8_t>(buffer_[0]), nullptr, bufferStart_);
    else
        Report(buffer_, TFrameStatus::Noise, -1, nullptr, bufferStart_);
}

QByteArray TReceivePath::FirstLine(const QByteArray& line)
{
    const qsizetype cr = line.indexOf('\r');
    return cr < 0 ? line : line.left(cr + 1);
}

bool TReceivePath::AnswersLate(const QByteArray& line) const
{
    return pending_ && pending_->Protocol == TProtocol::Standard &&
           pending_->State.load() == TRequestState::GivenUp && MatchesStandard(*pending_, line);
}

void TReceivePath::CreateRecord(const QByteArray& adressText, int speed)
{
    if (TDevice* const device = devices_.Append(adressText, speed))
        sink_.Found(*device);
    else
        qCDebug(lcReceive) << "sensor list full, answer of" << adressText << "dropped";
}

void TReceivePath::ReceiveStandard(const TChunk& chunk)
{
    if (buffer_.isEmpty())
        bufferStart_ = chunk;
    buffer_.append(chunk.Bytes);
    if (buffer_.size() > MaxStandardReceiveBytes) {
        const qsizetype excess = buffer_.size() - MaxStandardReceiveBytes;
        qCDebug(lcReceive) << "line too long," << excess << "oldest bytes dropped";
        Report(buffer_.left(excess), TFrameStatus::Noise, -1, nullptr, bufferStart_);
        buffer_.remove(0, excess);
        sink_.Error(TReceiveError::Decoding);
    }
    // A reply is complete only with its CR; the bytes before it wait for the chunk that brings it.
    if (!chunk.Bytes.contains('\r'))
        return;
    TChunk span = chunk;
    span.FirstAt = bufferStart_.FirstAt;
    QByteArray line = TakeStandardLine(buffer_);
    bufferStart_ = chunk;
    const qsizetype bang = line.indexOf('!');
    const qsizetype percent = line.indexOf('%');
    const qsizetype start = bang < 0 ? percent : (percent < 0 ? bang : std::min(bang, percent));
    if (start != 0)
        Report(start < 0 ? FirstLine(line) : line.left(start), TFrameStatus::Noise, -1, nullptr, span);
    if (!DropToReplyStart(line))
        return;
    const QByteArray frame = FirstLine(line);
    const int from = HexAddressNumber(line.mid(1, 2));
    if (searching_) {
        if (const auto adressText = SearchReplyAddress(line)) {
            const int address = HexAddressNumber(*adressText);
            const TRequest* probe =
                lastProbe_ && lastProbe_->ReplyAddress == address ? lastProbe_.get() : nullptr;
            Report(frame, TFrameStatus::Ok, address, probe, span);
            CreateRecord(*adressText, chunk.Speed);
        } else {
            Report(frame, TFrameStatus::Unmatched, from, nullptr, span);
        }
        return;
    }
    if (Awaits(TProtocol::Standard) && MatchesStandard(*pending_, line)) {
        const TRequestPtr request = pending_;
        TFrameStatus status = TFrameStatus::Ok;
        try {
            DecodeStandard(*request, NormalisedLine(line));
        } catch (const std::exception& e) {
            // The sensor did answer: its request ends, but what it sent is reported unread.
            qCDebug(lcReceive) << "reply" << line << "not decoded:" << e.what();
            sink_.Error(TReceiveError::Decoding);
            status = TFrameStatus::Malformed;
        }
        Report(frame, status, from, request.get(), span);
        Answer(*request, TRequestState::Answered);
        return;
    }
    if (AnswersLate(line)) {
        Report(frame, TFrameStatus::Late, from, pending_.get(), span);
        pending_.reset();
        Drop("standard reply after its request was given up");
        return;
    }
    if (streaming_ && streaming_->threadResultIsExec) {
        // The stop echo may come after a line of the stream has already answered the stop.
        if (NormalisedLine(line) == "!" + streaming_->AdressStr.load() + "SB\r") {
            Report(frame, TFrameStatus::Ok, from, Awaits(TProtocol::Standard) ? pending_.get() : nullptr,
                   span);
            StreamStopped();
        } else {
            StreamLine(line, chunk);
        }
        return;
    }
    Report(frame, TFrameStatus::Unmatched, from, nullptr, span);
    Drop("standard reply awaited by no request");
}

void TReceivePath::DecodeStandard(TRequest& request, const QByteArray& line)
{
    TDevice& device = *request.Device;
    switch (request.Kind) {
    case TRequestKind::Command:
        if (const TCommandEvent* const e = CommandEventOf(request.Head);
            e && line.size() == request.Head.size() + 4 && line.endsWith('\r'))
            sink_.Replied(device, {e->event, {}});
        break;
    case TRequestKind::ReadRegister:
        StoreStandardRegister(device, request.RegisterCode, RegisterValue(line));
        break;
    case TRequestKind::WriteRegister:
        if (request.RegisterCode == RegisterOf(TParam::Address).StdLow)
            device.PAdress = RegisterValue(line);
        break;
    case TRequestKind::ReadLatched: {
        const TResultField field = ParseResultField(line);
        device.wdSwitchResult = field.Raw;
        device.SwitchedResult = ResultValue(field, device.ID_D);
        sink_.Replied(device, {TReplyEvent::LatchedResultRead, field});
        break;
    }
    case TRequestKind::ReadLast: {
        const TResultField field = ParseResultField(line);
        device.wdLastResult = field.Raw;
        device.LastResult = ResultValue(field, device.ID_D);
        sink_.Replied(device, {TReplyEvent::LastResultRead, field});
        break;
    }
    case TRequestKind::ReadIdent:
        // Stored one by one: a bad field leaves the fields before it updated and those after it
        // as they were.
        device.Model = IdentModel(line);
        device.SerialNumber = IdentSerialNumber(line);
        device.ID_D = IdentRange(line);
        device.ID_M = IdentDistance(line);
        break;
    case TRequestKind::StreamStop:
        if (&device == streaming_)
            StreamStopped();
        break;
    default:
        break;
    }
}

void TReceivePath::StreamStopped()
{
    streaming_->threadResultIsExec = false;
    streamQuiet_ = true;
    if (Awaits(TProtocol::Standard) && pending_->Kind == TRequestKind::StreamStop)
        Answer(*pending_, TRequestState::Answered);
}

void TReceivePath::StreamLine(const QByteArray& line, const TChunk& chunk)
{
    TDevice& device = *streaming_;
    streamQuiet_ = false;
    const qsizetype start = line.indexOf('!');
    // Counted first, as whole groups: a malformed group still takes its seven characters.
    const int count = CountGroups(line, start);
    samples_.clear();
    qsizetype from = start;
    const int address = device.AddressNumber();
    for (int i = 0; i < count; ++i) {
        TStreamSample sample;
        const qsizetype at = line.indexOf('!', from);
        sample.Valid = ExtractGroup(line, from, sample.Value, sample.Count);
        if (!sample.Valid)
            sample.Value = 0;
        samples_.push_back(sample);
        if (at >= 0)
            Report(line.mid(at, from - at), sample.Valid ? TFrameStatus::Ok : TFrameStatus::Malformed,
                   address, nullptr, chunk, true);
    }
    // Only what follows the last counted group waits for the next chunk.
    if (count > 0)
        buffer_ = line.mid(from);
    if (!samples_.empty())
        sink_.Samples(device, samples_, chunk);
    // The stop's echo right behind the stream's last samples is no group: nothing would follow it.
    const QByteArray stopEcho = "!" + device.AdressStr.load() + "SB\r";
    if (count > 0 && NormalisedLine(buffer_.left(stopEcho.size())) == stopEcho) {
        Report(buffer_.left(stopEcho.size()), TFrameStatus::Ok, address,
               Awaits(TProtocol::Standard) ? pending_.get() : nullptr, chunk);
        buffer_.remove(0, stopEcho.size());
        StreamStopped();
        return;
    }
    // Any line of the stream that began after the stop answers it: the sensor has heard it or goes
    // on streaming, which the stream's quiet check then tells.
    if (Awaits(TProtocol::Standard) && pending_->Kind == TRequestKind::StreamStop &&
        chunk.FirstAt >= pending_->SentAt)
        Answer(*pending_, TRequestState::Answered);
}

void TReceivePath::ReceiveModbus(const TChunk& chunk)
{
    // Bytes that no longer fit one frame cannot be one. Everything before this chunk is dropped at
    // once rather than left to the frame timeout; the chunk, which may be the start of the awaited
    // reply, begins the next frame when it fits on its own.
    if (buffer_.size() + chunk.Bytes.size() > ModbusFrameCapacity) {
        qCDebug(lcReceive) << "Modbus bytes beyond" << ModbusFrameCapacity << "dropped";
        sink_.Error(TReceiveError::FrameOverflow);
        Report(buffer_, TFrameStatus::Noise, -1, nullptr, bufferStart_);
        buffer_.clear();
        Clear();
        if (chunk.Bytes.size() > ModbusFrameCapacity) {
            Report(chunk.Bytes, TFrameStatus::Noise, -1, nullptr, chunk);
            return;
        }
    }
    if (buffer_.isEmpty())
        bufferStart_ = chunk;
    buffer_.append(chunk.Bytes);
    const auto* const bytes = reinterpret_cast<const std::uint8_t*>(buffer_.constData());
    const auto size = static_cast<std::size_t>(buffer_.size());
    if (!IsCompleteModbusFrame(bytes, size)) {
        sink_.FrameTimeout(true);
        return;
    }
    sink_.FrameTimeout(false);
    // The frame is copied out: decoding may reach the client, which may add bytes to the buffer.
    std::array<std::uint8_t, ModbusFrameCapacity> frameBytes{};
    std::copy_n(bytes, size, frameBytes.begin());
    const TModbusFrame frame(frameBytes.data(), size);
    TChunk span = chunk;
    span.FirstAt = bufferStart_.FirstAt;
    const QByteArray frameText = buffer_;
    buffer_.clear();
    const int from = frame[0];

    if (searching_) {
        const bool probed = lastProbe_ && lastProbe_->ReplyAddress == from;
        Report(frameText, from != 0 ? TFrameStatus::Ok : TFrameStatus::Unmatched, from,
               probed ? lastProbe_.get() : nullptr, span);
        if (from != 0)
            CreateRecord(AddressText(from), chunk.Speed);
        return;
    }
    const auto function = ReplyFunction(frame);
    if (!Awaits(TProtocol::Modbus) || from != pending_->ReplyAddress) {
        const bool late = pending_ && pending_->Protocol == TProtocol::Modbus &&
                          pending_->State.load() == TRequestState::GivenUp &&
                          from == pending_->ReplyAddress && function &&
                          (*function & ~ModbusFunction::ExceptionBit) == pending_->Function;
        Report(frameText, late ? TFrameStatus::Late : TFrameStatus::Unmatched, from,
               late ? pending_.get() : nullptr, span);
        if (late)
            pending_.reset();
        Drop(late ? "Modbus reply after its request was given up" : "Modbus frame awaited by no request");
        return;
    }
    const TRequestPtr request = pending_;
    if (function == (request->Function | ModbusFunction::ExceptionBit) && HasReplyLayout(frame)) {
        request->ExceptionCode = frame[ModbusExceptionCodeIndex];
        Report(frameText, TFrameStatus::Exception, from, request.get(), span);
        Answer(*request, TRequestState::Refused);
        return;
    }
    if (function != request->Function || !AnswersModbus(*request, frame)) {
        // The awaited sensor, but not the awaited answer: reported, and the request waits on.
        sink_.Error(TReceiveError::Decoding);
        Report(frameText, TFrameStatus::Unmatched, from, nullptr, span);
        Drop("Modbus reply without the layout of what it answers");
        return;
    }
    try {
        DecodeModbus(*request, frame);
    } catch (...) {
        Report(frameText, TFrameStatus::Malformed, from, request.get(), span);
        throw;
    }
    Report(frameText, TFrameStatus::Ok, from, request.get(), span);
    Answer(*request, TRequestState::Answered);
}

void TReceivePath::DecodeModbus(TRequest& request, std::span<const std::uint8_t> frame)
{
    TDevice& device = *request.Device;
    const auto data = frame.subspan(ModbusDataIndex);
    switch (request.Kind) {
    case TRequestKind::Command: {
        const char command[] = {static_cast<char>(frame[4]), static_cast<char>(frame[5])};
        if (const TCommandEvent* const e = CommandEventOf(QByteArray(command, 2)))
            sink_.Replied(device, {e->event, {}});
        break;
    }
    case TRequestKind::ReadFlags:
        StoreModbusFlags(device, data[1]);
        break;
    case TRequestKind::ReadBlock:
        StoreModbusBlock(device, data);
        break;
    case TRequestKind::ReadIdent: {
        const TModbusIdent ident = ParseIdentBlock(frame);
        device.Model = ident.Model;
        device.ID_D = ident.Range;
        device.ID_M = ident.Distance;
        device.SerialNumber = ident.SerialNumber;
        break;
    }
    case TRequestKind::ReadLatched:
        device.wdSwitchResult = FrameWord(frame, ModbusDataIndex);
        device.SwitchedResult = ResultValue({device.wdSwitchResult, false}, device.ID_D);
        sink_.Replied(device, {TReplyEvent::LatchedResultRead, {device.wdSwitchResult, false}});
        break;
    case TRequestKind::ReadLast:
        device.wdLastResult = FrameWord(frame, ModbusDataIndex);
        device.LastResult = ResultValue({device.wdLastResult, false}, device.ID_D);
        sink_.Replied(device, {TReplyEvent::LastResultRead, {device.wdLastResult, false}});
        break;
    case TRequestKind::WriteBlock:
        device.PAdress = frame[0];
        break;
    default:
        break;
    }
}

void TReceivePath::FrameTimedOut()
{
    ReportLeftover();
    buffer_.clear();
    sink_.Error(TReceiveError::FrameTimeout);
}
