#include "protocol/fuzz/ReceiveHarness.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "protocol/LinkState.h"
#include "protocol/LinkView.h"
#include "protocol/ReceiveFraming.h"
#include "protocol/ReceivePath.h"
#include "protocol/StreamSampler.h"
#include <algorithm>
#include <cmath>
#include <QLocale>
#include <QLoggingCategory>
#include <cstring>
#include <iterator>
#include <utility>

namespace ReceiveHarness {
namespace {
TProtocol preparedProtocol = Standard;
std::string failure;

void Require(bool condition, const char* what)
{
    if (!condition && failure.empty())
        failure = what;
}

// The stream chart as the sampler needs it: only where the points lie, not the points.
class TFuzzSeries final : public TStreamSeries {
  public:
    bool Empty() const override { return count_ == 0; }
    double FirstX() const override { return first_; }
    double LastX() const override { return last_; }
    bool AddPoint(double x, double y) override
    {
        Require(std::isfinite(x) && std::isfinite(y), "stream point not finite");
        Require(count_ == 0 || x > last_, "stream point not after the last one");
        if (count_++ == 0)
            first_ = x;
        last_ = x;
        return true;
    }
    bool AddGap(double x, double height) override { return AddPoint(x, height); }
    void Clear() { count_ = 0; }

  private:
    long count_ = 0;
    double first_ = 0;
    double last_ = 0;
};

// The record methods take one group per call and copy what is left, so a whole long line would
// cost its length times its groups; every group is cut by the same code, a few show its faults.
constexpr int RecordMethodGroups = 8;

// Keeps what a window would keep, and decodes stream lines as the window does: with the stream
// sampler over the whole line, recording every sample.
class TFuzzView final : public TLinkView {
  public:
    void SetStatusText(int panel, const QString& text) override
    {
        Require(panel >= 0 && panel <= 2 && !text.isEmpty(), "status text: panel or empty text");
    }
    void AddLatchRow(int addressNumber, TLatchColumn column, const QString& text) override
    {
        Require(addressNumber >= -1 && addressNumber <= 255, "latch row: address out of range");
        Require(column >= LatchConfirmColumn && column <= LastResultColumn && !text.isEmpty(),
                "latch row: column or empty text");
    }
    void StartFrameTimeout() override {}
    void StopFrameTimeout() override {}
    void StartErrorClear() override {}
    void EnableAfterDefaults() override {}
    void ShowModbusException(const QString& text, const QString& caption) override
    {
        Require(!text.isEmpty() && !caption.isEmpty(), "Modbus exception: empty text");
    }
    void StreamText(TDevice& device, const QByteArray& line) override
    {
        // The record methods first: they leave their rest in ReceiveBuffer, the sampler then
        // leaves what the window leaves.
        QByteArray st = line;
        const int n = std::min(device.ValueCount(st), RecordMethodGroups);
        for (int i = 0; i < n; ++i) {
            const qsizetype before = st.size();
            int value = -1;
            if (device.ExtractValue(value, st))
                Require(value >= 0 && value <= 99999, "stream value out of range");
            Require(st.size() < before, "stream group not consumed");
        }
        sampler_.Line(line, device.ID_D, true);
        const TStreamView view = sampler_.Take();
        Require(std::isfinite(view.LeftMin) && std::isfinite(view.LeftMax) && view.LeftMin <= view.LeftMax,
                "stream axis range invalid");
        for (const QString& recorded : std::as_const(RecordLines))
            Require(!recorded.isEmpty(), "empty recorded line");
        RecordLines.clear();
    }

    void Reset()
    {
        series_.Clear();
        sampler_.Restart();
        FirstSample = true;
        ChartStart = true;
        ReferenceSample = 0;
        RecordCounter = 0;
        RecordInterval = 1;
        RecordLines.clear();
    }

  private:
    TFuzzSeries series_;
    TStreamSampler sampler_{series_};
};

TFuzzView view;

std::atomic<bool>* const PendingFlags[] = {&ExpectLastResult, &ExpectSwitchResult, &ExpectIdent,
                                           &ExpectAllParams,  &ExpectFlags,        &WriteFlagsOnly};

// The receive path reports an exception out of a Modbus decoder, which throws nothing of its own,
// only in its debug log, and one out of the receive event as a warning.
void RecordReceiveFailure(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!context.category || std::strcmp(context.category, "veltrano.link.receive") != 0)
        return;
    if (type != QtDebugMsg)
        Require(false, "exception out of the receive event");
    else if (message.startsWith(QStringLiteral("Modbus frame not decoded")))
        Require(false, "Modbus frame not decoded");
}

void ResetLink(std::uint8_t settings, std::uint8_t pending)
{
    ClearDevices();
    Devices.Append("1A", 9600)->ID_D = 250;
    Devices.Append("05", 19200)->ID_D = 1000;
    Devices.Append("7F", 921600)->ID_D = 5;
    ReceiveBuffer.clear();
    FrameBuffer.fill(0);
    ProtocolMode = static_cast<std::uint8_t>(preparedProtocol);
    SearchMode = (settings & 2) != 0;
    SearchSpeed = 57600;
    ReplyReceived = false;
    StreamQuiet = true;
    const bool writing = (settings & 0x20) != 0;
    OperationRunning = writing;
    WriteAddress = writing ? QByteArray("1C") : QByteArray();
    for (std::size_t i = 0; i < std::size(PendingFlags); ++i)
        *PendingFlags[i] = (pending >> i & 1) != 0;
    static const char* const boxTexts[] = {"26", "5", "", "abc"};
    SetSelectedAddressText(QString::fromLatin1(boxTexts[(settings >> 3) & 3]));
    if (settings & 4)
        Devices.At(0)->threadResultIsExec = true;
    view.Reset();
}
} // namespace

void Prepare(TProtocol protocol)
{
    preparedProtocol = protocol;
    // Only the Modbus decoder's failure is in the debug log, and the standard path logs whole
    // lines at debug level: formatting them cost most of the run time for no check.
    QLoggingCategory::setFilterRules(protocol == Modbus
                                         ? QStringLiteral("veltrano.*=false\nveltrano.link.receive=true")
                                         : QStringLiteral("veltrano.*=false\nveltrano.link.receive.warning=true\n"
                                                          "veltrano.link.receive.critical=true"));
    qInstallMessageHandler(&RecordReceiveFailure);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    SetLinkView(&view);
}

std::string Run(const std::uint8_t* data, std::size_t size)
{
    failure.clear();
    if (size == 0)
        return failure;
    ResetLink(data[0], size > 1 ? data[1] : 0);
    const qsizetype limit =
        preparedProtocol == Modbus ? static_cast<qsizetype>(FrameBuffer.size()) : MaxStandardReceiveBytes;
    const char* chunk = nullptr;
    std::size_t length = 0;
    std::size_t pos = 2;
    int burstsLeft = 4;
    while (pos < size) {
        const std::size_t wanted = data[pos++];
        int repeats = 1;
        if (wanted == 0)
            repeats = burstsLeft-- > 0 ? 40 : 0;
        if (wanted != 0) {
            chunk = reinterpret_cast<const char*>(data + pos);
            length = wanted < size - pos ? wanted : size - pos;
            pos += length;
        }
        for (int i = 0; i < repeats && chunk; ++i) {
            ReceiveChunk(chunk, static_cast<int>(length));
            Require(ReceiveBuffer.size() <= limit, "receive buffer past its bound");
        }
    }
    Require(DeviceCount() <= TDeviceList::MaxCount, "sensor list past its cap");
    return failure;
}

} // namespace ReceiveHarness
