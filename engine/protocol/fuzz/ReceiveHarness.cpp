#include "protocol/fuzz/ReceiveHarness.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "protocol/ReceiveFraming.h"
#include "protocol/ReceivePath.h"
#include "protocol/Requests.h"
#include <QLoggingCategory>
#include <cmath>
#include <cstring>
#include <functional>

namespace ReceiveHarness {
namespace {
constexpr int ChunkSpeed = 57600;
constexpr qsizetype ModbusFrameCapacity = 255;
constexpr int MaxCount = 9999;      // an N group or N result: four digits
constexpr int MaxRawResult = 99999; // five digits

TProtocol preparedProtocol = Standard;
std::string failure;

void Require(bool condition, const char* what)
{
    if (!condition && failure.empty())
        failure = what;
}

::TProtocol PathProtocol()
{
    return preparedProtocol == Modbus ? ::TProtocol::Modbus : ::TProtocol::Standard;
}

// Holds the receive path to what it promises its bus.
class TCheckingSink final : public TReceiveSink {
  public:
    explicit TCheckingSink(const TDeviceList& devices) : devices_(devices) {}
    void Await(const TRequest* request) { awaited_ = request; }
    void SetSearching(bool on) { searching_ = on; }

    void Replied(TDevice& device, const TReplyNote& note) override
    {
        Require(Listed(device), "reply decoded into no record of the list");
        Require(!note.Result.NForm || note.Result.Raw <= MaxCount, "N result beyond four digits");
    }
    void Completed(TRequest& request) override
    {
        Require(&request == awaited_, "a request completed that was not awaited");
        const TRequestState state = request.State.load();
        Require(state == TRequestState::Answered ||
                    (state == TRequestState::Refused && request.Protocol == ::TProtocol::Modbus),
                "completed request in no final state");
        if (const TDevice* const d = request.Device)
            Require(std::isfinite(d->ID_D) && std::isfinite(d->ID_M), "identification not finite");
    }
    void Samples(TDevice& device, std::span<const TStreamSample> samples, const TChunk& chunk) override
    {
        Require(Listed(device) && device.threadResultIsExec, "samples of a sensor that does not stream");
        Require(!samples.empty() && chunk.Speed == ChunkSpeed, "empty sample batch or foreign chunk");
        for (const TStreamSample& s : samples) {
            if (s.Valid)
                Require(s.Value >= 0 && s.Value <= (s.Count ? MaxCount : MaxRawResult),
                        "stream sample out of range");
            else
                Require(s.Value == 0, "malformed stream sample carries a value");
        }
    }
    void Found(TDevice& device) override
    {
        Require(searching_, "record made outside a search");
        Require(Listed(device) && HexAddressNumber(device.AdressStr.load()) > 0,
                "record of no sensor address");
        Require(device.ComPortSpeed.load() == ChunkSpeed, "record without the speed of its answer");
    }
    void Error(TReceiveError) override {}
    void FrameTimeout(bool run) override
    {
        Require(!run || preparedProtocol == Modbus, "frame timeout started for a standard line");
    }

  private:
    bool Listed(const TDevice& device) const
    {
        for (int i = 0; i < devices_.Count(); ++i)
            if (devices_.At(i) == &device)
                return true;
        return false;
    }

    const TDeviceList& devices_;
    const TRequest* awaited_ = nullptr;
    bool searching_ = false;
};

// The receive path catches what its decoders throw and logs it as a warning: that must not
// happen for any input.
void RecordReceiveFailure(QtMsgType type, const QMessageLogContext& context, const QString&)
{
    if (context.category && std::strcmp(context.category, "veltrano.link.receive") == 0 && type != QtDebugMsg)
        Require(false, "exception out of the receive path");
}

using TBuild = std::function<TRequestPtr()>;

// The request the input awaits, as described in ReceiveHarness.h; empty for none.
TBuild AwaitedRequest(TDevice& sensor, std::uint8_t settings, std::uint8_t pending)
{
    const ::TProtocol protocol = PathProtocol();
    const bool modbus = preparedProtocol == Modbus;
    if (settings & 0x20) {
        if (!modbus)
            return [&sensor] { return Requests::WriteRegister(sensor, 0x1A, 0x1C, {"01", "1C"}); };
        if (pending & 0x20)
            return [&sensor] { return Requests::WriteFlags(sensor, 0x1C, QByteArray("\x00\x15", 2)); };
        return [&sensor] { return Requests::WriteBlock(sensor, 0x1C, QByteArray(38, '\x01')); };
    }
    int bit = 0;
    while (bit < 6 && !(pending >> bit & 1))
        ++bit;
    switch (bit) {
    case 0:
        return [&sensor, protocol] { return Requests::ReadLast(sensor, protocol); };
    case 1:
        return [&sensor, protocol] { return Requests::ReadLatched(sensor, protocol); };
    case 2:
        return [&sensor, protocol] { return Requests::ReadIdent(sensor, protocol); };
    case 3:
        return [&sensor, modbus] {
            return modbus ? Requests::ReadBlock(sensor) : Requests::ReadRegister(sensor, "0A");
        };
    case 4:
        return [&sensor, modbus] {
            return modbus ? Requests::ReadFlags(sensor)
                          : Requests::Command(sensor, ::TProtocol::Standard, "ON");
        };
    case 5:
        return [&sensor, modbus] {
            return modbus ? Requests::WriteFlags(sensor, 0x1A, QByteArray("\x00\x15", 2))
                          : Requests::StreamStop(sensor);
        };
    default:
        return {};
    }
}
} // namespace

void Prepare(TProtocol protocol)
{
    preparedProtocol = protocol;
    // Only warnings of the receive path are checked; formatting its debug lines would cost most
    // of the run time for no check.
    QLoggingCategory::setFilterRules(QStringLiteral("veltrano.*=false\nveltrano.link.receive.warning=true\n"
                                                    "veltrano.link.receive.critical=true"));
    qInstallMessageHandler(&RecordReceiveFailure);
}

std::string Run(const std::uint8_t* data, std::size_t size)
{
    failure.clear();
    if (size == 0)
        return failure;
    const std::uint8_t settings = data[0];
    const std::uint8_t pending = size > 1 ? data[1] : 0;

    TDeviceList devices;
    TDevice& sensor = *devices.Append("1A", 9600);
    sensor.ID_D = 250;
    devices.Append("05", 19200)->ID_D = 1000;
    devices.Append("7F", 921600)->ID_D = 5;
    TCheckingSink sink(devices);
    TReceivePath path(devices, sink);
    path.SetProtocol(PathProtocol());
    const bool searching = (settings & 2) != 0;
    path.SetSearching(searching);
    sink.SetSearching(searching);
    if (settings & 4) {
        sensor.threadResultIsExec = true;
        path.SetStreaming(&sensor);
    }
    const TBuild build = AwaitedRequest(sensor, settings, pending);
    TRequestPtr awaited;

    const qsizetype limit = preparedProtocol == Modbus ? ModbusFrameCapacity : MaxStandardReceiveBytes;
    QByteArray chunk;
    std::size_t pos = 2;
    int burstsLeft = 4;
    while (pos < size) {
        const std::size_t wanted = data[pos++];
        int repeats = 1;
        if (wanted == 0) {
            repeats = burstsLeft-- > 0 ? 40 : 0;
        } else {
            const std::size_t length = wanted < size - pos ? wanted : size - pos;
            chunk = QByteArray(reinterpret_cast<const char*>(data + pos), static_cast<qsizetype>(length));
            pos += length;
        }
        for (int i = 0; i < repeats && !chunk.isEmpty(); ++i) {
            if (build && (!awaited || awaited->State.load() != TRequestState::Pending)) {
                awaited = build();
                awaited->Speed = ChunkSpeed;
                sink.Await(awaited.get());
                path.Sent(awaited);
            }
            try {
                path.Receive({chunk, ChunkSpeed, {}});
            } catch (...) {
                Require(false, "exception out of the receive path");
            }
            Require(path.Buffer().size() <= limit, "receive buffer past its bound");
        }
    }
    Require(devices.Count() <= TDeviceList::MaxCount && !devices.At(TDeviceList::MaxCount),
            "sensor list past its cap");
    return failure;
}

} // namespace ReceiveHarness
