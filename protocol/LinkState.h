#pragma once
// The program-wide link state that couples the operation workers, the receive path on the main
// thread and the pages. Flags that cross threads are atomics; the rest is main-thread only.
#include "protocol/DeviceList.h"
#include "protocol/LinkSender.h"
#include "protocol/LockedText.h"
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <cstdint>

// 0 = standard ASCII protocol, 1 = Modbus RTU.
extern std::atomic<std::uint8_t> ProtocolMode;
// Received bytes not yet consumed. Main thread only: a worker clears it through RunOnMainThread.
extern QByteArray ReceiveBuffer;
// The received Modbus frame that the decoder reads by index; main thread only. Requests compute
// their CRC over their own bytes, so no worker writes here.
extern std::array<std::uint8_t, 255> FrameBuffer;
// The request token: a request is sent only while it is true, and sending clears it.
extern std::atomic<bool> ReplyReceived;
extern std::atomic<bool> OperationRunning;
extern std::atomic<bool> SearchMode;
extern std::atomic<std::int32_t> SearchSpeed;
extern std::atomic<std::int32_t> WatchdogTime;
extern std::atomic<std::int32_t> ProbeDelay;
extern std::atomic<std::int32_t> SearchRange;

// What a Modbus function-3 reply answers, since it does not name its registers.
extern std::atomic<bool> ExpectLastResult;
extern std::atomic<bool> ExpectSwitchResult;
extern std::atomic<bool> ExpectIdent;
extern std::atomic<bool> ExpectAllParams;
extern std::atomic<bool> ExpectFlags;
// The next Modbus parameter write is the single write of the flag register.
extern std::atomic<bool> WriteFlagsOnly;

// Address change of a parameter write: set on the main thread, read by the write worker.
extern TLockedText WriteAddress;
extern TLockedText NewAddressHex;
extern TLockedText NewAddressDec;
extern TLockedText OldAddressDec;

// Stream sample state: the stream decoding and the stream page, main thread only.
extern bool StreamQuiet;
extern bool FirstSample;
extern bool ChartStart;
extern double ReferenceSample;
extern double RecordSample;
extern std::int32_t RecordCounter;
extern std::int32_t RecordInterval;
extern QStringList RecordLines;

// The pause after a search probe or an identification request: ProbeDelay, at least 10 ms.
int ProbePauseMs();

// The address box text as the main thread last saw it, for workers, which must not read the
// widget. The main thread keeps it equal to the box text.
void SetSelectedAddressText(const QString& text);
QString SelectedAddressText();
