#include "protocol/LinkState.h"
#include <algorithm>
#include <mutex>

std::atomic<std::uint8_t> ProtocolMode{0};
QByteArray ReceiveBuffer;
std::array<std::uint8_t, 255> FrameBuffer{};
std::atomic<bool> ReplyReceived{true};
std::atomic<bool> OperationRunning{false};
std::atomic<bool> SearchMode{false};
std::atomic<std::int32_t> SearchSpeed{0};
std::atomic<std::int32_t> WatchdogTime{3000};
std::atomic<std::int32_t> ProbeDelay{0};
std::atomic<std::int32_t> SearchRange{0};

std::atomic<bool> ExpectLastResult{false};
std::atomic<bool> ExpectSwitchResult{false};
std::atomic<bool> ExpectIdent{false};
std::atomic<bool> ExpectAllParams{false};
std::atomic<bool> ExpectFlags{false};
std::atomic<bool> WriteFlagsOnly{false};

TLockedText WriteAddress;
TLockedText NewAddressHex;
TLockedText NewAddressDec;
TLockedText OldAddressDec;

bool StreamQuiet = true;
bool FirstSample = true;
bool ChartStart = true;
double ReferenceSample = 0;
double RecordSample = 0;
std::int32_t RecordCounter = 0;
std::int32_t RecordInterval = 0;
QStringList RecordLines;

int ProbePauseMs()
{
    return std::max<int>(ProbeDelay.load(), 10);
}

namespace {
std::mutex selectedMutex;
QString selectedText;
} // namespace

void SetSelectedAddressText(const QString& text)
{
    const std::lock_guard lock(selectedMutex);
    selectedText = text;
}

QString SelectedAddressText()
{
    const std::lock_guard lock(selectedMutex);
    return selectedText;
}
