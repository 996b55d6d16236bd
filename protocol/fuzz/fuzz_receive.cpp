// Feeds random chunks to the receive path in both protocols, in search and in dispatch mode, with
// a few sensor records present, an address box selection and any set of pending Modbus requests,
// and checks that the buffers stay inside their bounds and that the Modbus decoder never fails.
//
// Input: one byte of settings, one byte of pending Modbus requests, then chunks, each a length
// byte followed by that many bytes (the last chunk takes what is left); a length byte 0 repeats
// the previous chunk 40 times, enough to run any buffer past its cap. Only the first four such
// bytes repeat, later ones are skipped: a run of them would only make the input slow.
// Settings:
//   bit 0     Modbus RTU instead of the standard protocol
//   bit 1     a bus search runs
//   bit 2     the selected sensor streams
//   bits 3-4  address box: "26", "5", empty, "abc"
//   bit 5     a parameter write is under way whose sensor answers from 0x1C, an address no
//             record has, while the record selected in the address box carries its new address
// Pending requests, one bit each from bit 0: ExpectLastResult, ExpectSwitchResult, ExpectIdent,
// ExpectAllParams, ExpectFlags, WriteFlagsOnly.
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "protocol/LinkState.h"
#include "protocol/LinkView.h"
#include "protocol/ReceiveFraming.h"
#include "protocol/ReceivePath.h"
#include <QLocale>
#include <QLoggingCategory>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {
// Keeps what a window would keep, and decodes stream lines group by group as the stream page
// does, so that the group helpers see the same lines.
class TFuzzView final : public TLinkView {
  public:
    void SetStatusText(int panel, const QString& text) override
    {
        Require(panel >= 0 && panel <= 2 && !text.isEmpty());
    }
    void AddLatchRow(int addressNumber, TLatchColumn column, const QString& text) override
    {
        Require(addressNumber >= -1 && addressNumber <= 255);
        Require(column >= LatchConfirmColumn && column <= LastResultColumn && !text.isEmpty());
        ++rows;
    }
    void StartFrameTimeout() override { frameTimerRunning = true; }
    void StopFrameTimeout() override { frameTimerRunning = false; }
    void StartErrorClear() override {}
    void EnableAfterDefaults() override {}
    void ShowModbusException(const QString& text, const QString& caption) override
    {
        Require(!text.isEmpty() && !caption.isEmpty());
    }
    void StreamText(TDevice& device, const QByteArray& line) override
    {
        QByteArray st = line;
        const int n = device.ValueCount(st);
        for (int i = 0; i < n; ++i) {
            const qsizetype before = st.size();
            int value = -1;
            if (device.ExtractValue(value, st))
                Require(value >= 0 && value <= 99999);
            Require(st.size() < before);
        }
    }

    static void Require(bool condition)
    {
        if (!condition)
            std::abort();
    }

    void Reset()
    {
        rows = 0;
        frameTimerRunning = false;
    }

    int rows = 0;
    bool frameTimerRunning = false;
};

TFuzzView view;

std::atomic<bool>* const PendingFlags[] = {&ExpectLastResult, &ExpectSwitchResult, &ExpectIdent,
                                           &ExpectAllParams,  &ExpectFlags,        &WriteFlagsOnly};

// The receive path reports an exception out of a Modbus decoder, which throws nothing of its own,
// only in its log: a checked read past the frame ends there.
void FailOnDecoderError(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    if (context.category && std::strcmp(context.category, "veltrano.link.receive") == 0 &&
        message.startsWith(QStringLiteral("Modbus frame not decoded")))
        std::abort();
}

void ResetLink(std::uint8_t settings, std::uint8_t pending)
{
    ClearDevices();
    Devices.Append("1A", 9600)->ID_D = 250;
    Devices.Append("05", 19200)->ID_D = 1000;
    Devices.Append("7F", 921600)->ID_D = 5;
    ReceiveBuffer.clear();
    FrameBuffer.fill(0);
    ProtocolMode = settings & 1;
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

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("veltrano.*=false\nveltrano.link.receive.debug=true"));
    qInstallMessageHandler(&FailOnDecoderError);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    SetLinkView(&view);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    ResetLink(data[0], size > 1 ? data[1] : 0);
    const qsizetype limit =
        ProtocolMode == 1 ? static_cast<qsizetype>(FrameBuffer.size()) : MaxStandardReceiveBytes;
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
            TFuzzView::Require(ReceiveBuffer.size() <= limit);
        }
    }
    TFuzzView::Require(DeviceCount() <= TDeviceList::MaxCount);
    return 0;
}
