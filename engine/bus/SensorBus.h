#pragma once
// One bus object per port: it owns the port driver, the receive path with its buffers, the sensor
// records, the request awaiting its reply and the stream state, and runs one operation at a time
// on a worker thread under the operation's watchdog. Everything it reports comes as signals on
// the thread that made it (its clients' thread), in the order the line saw it.
//
// Two bus objects on two ports in one process work side by side: nothing is shared.
#include "bus/Operation.h"
#include "protocol/DeviceList.h"
#include "protocol/ReceivePath.h"
#include "serial/Chunk.h"
#include "traffic/LinkHealth.h"
#include "traffic/Traffic.h"
#include <QObject>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <variant>
#include <vector>

class TCommPortDriver;
class TOperationContext;

struct TSampleBatch {
    std::vector<TStreamSample> Samples;
    int Speed = 0;
    std::chrono::steady_clock::time_point ReadAt;
};

class TSensorBus : public QObject, private TReceiveSink {
    Q_OBJECT
  public:
    static constexpr int DefaultWatchdogMs = 3000;

    explicit TSensorBus(QObject* parent = nullptr);
    ~TSensorBus() override; // Shutdown()

    // The port. Its settings may be changed from the bus's thread while no operation runs.
    TCommPortDriver& Driver() { return *driver_; }
    TDeviceList& Devices() { return devices_; }
    const TDeviceList& Devices() const { return devices_; }

    TProtocol Protocol() const { return receive_.Protocol(); }
    void SetProtocol(TProtocol protocol);

    // An operation holds the bus, from its start until a pause after its end that keeps
    // operations launched back to back apart on the line.
    bool Busy() const { return busy_; }
    // How long a sensor has to answer an operation; the defaults operation gets twice this.
    int WatchdogTime() const { return watchdogMs_; }
    void SetWatchdogTime(int ms) { watchdogMs_ = ms; }
    // The pause after each probe and identification request and between latch-all broadcasts:
    // the search delay last used (or set), at least 10 ms.
    int ProbePauseMs() const;
    void SetProbeDelay(int ms) { probeDelayMs_ = ms; }

    // Sets the line speed by the line-speed table (speed and polling delay); false when the port
    // does not hold that speed afterwards.
    bool SetLineSpeed(int baud);

    // Operation launches, from the bus's thread. Each returns false, starting nothing, while an
    // operation holds the bus, while a sensor streams (only StopStream gets through), without a
    // sensor, or once the bus is closing.
    // SwitchOn, SwitchOff, Configure, SaveToFlash, ReadParameters, Defaults, StartStream,
    // StopStream, Latch, ReadLatch, ReadLastResult on one sensor:
    bool Start(TOperationCode code, TDevice* device);
    // Renames the record to the new address at once: from now on its replies come from there.
    // Should the write fail before the sensor has taken the new address, the record gets its old
    // one back.
    bool StartWrite(TDevice* device, const TWritePlan& plan);
    // Empties the sensor list and opens the port; false also when the port does not open.
    bool StartSearch(const TSearchParams& params);
    // The latched result of every sensor in list order, each at its own speed; then the line
    // goes back to the speed of returnTo.
    bool StartReadAllLatches(TDevice* returnTo);
    // One broadcast latch at each of speeds (none: one at the present speed); then the line goes
    // back to the speed of returnTo.
    bool StartLatchAll(const std::vector<int>& speeds, TDevice* returnTo);
    // Every parameter of each sensor in turn, each at its own speed; then the line goes back to
    // the speed of returnTo.
    bool StartReadSeveral(const std::vector<TDevice*>& sensors, TDevice* returnTo);
    // plans[i] written to sensors[i] in turn, at the address and speed each plan gives (a record
    // takes its new address as a single write's does); each target's outcome comes as
    // TargetFinished, the clone's own at its end. A target that fails does not keep the others
    // from their turn. The caller sees to it that no two sensors end at one address.
    bool StartClone(const std::vector<TDevice*>& sensors, const std::vector<TWritePlan>& plans,
                    TDevice* returnTo);
    // A running clone ends once the sensor at hand is done; the rest are not touched.
    void StopCloneAfterCurrent() { stopAfterCurrent_ = true; }
    // A running write ends once the register at hand is written, as Stopped with the count of
    // what the sensor took in TOutcome::Written; in a clone, so do the writes of the sensors left.
    void StopWriteAfterCurrentRegister() { stopWriteAfterCurrent_ = true; }

    // Stops the operation, waits for its worker, closes the port. Nothing is reported after it.
    void Shutdown();

    // The stream: running from its start until the client takes it for stopped.
    bool StreamRunning() const { return streamRunning_; }
    TDevice* StreamingDevice() const { return receive_.Streaming(); }
    // True after the stop echo, false after every line of the stream.
    bool StreamQuiet() const { return receive_.StreamQuiet(); }
    void SetStreamQuiet(bool quiet) { receive_.SetStreamQuiet(quiet); }
    void StreamEnded();

    // Hands bytes to the receive path as if the driver had read them; for tools that feed the
    // path directly. Bus thread.
    void Receive(const TChunk& chunk);
    const TReceivePath& ReceivePath() const { return receive_; }
    // Every frame on the line, newest last, and each sensor's link health counted from them;
    // the health is emptied as a search empties the sensor list. Bus thread.
    const TTrafficLog& Traffic() const { return traffic_; }
    void ClearTraffic() { traffic_.Clear(); }
    const TLinkHealthTable& Health() const { return health_; }
    // The Modbus frame timeout is counting: bytes have come that do not yet make a frame.
    bool FrameTimeoutRunning() const { return frameTimeout_.isActive(); }

  signals:
    // An operation has taken the bus.
    void OperationStarted(TOperationCode code);
    // The sensor list has been emptied, as a search starts.
    void DevicesCleared();
    void Progress(TOperationCode code, TProgress step);
    // Before the probe of address at speed; range addresses are probed at each of eight speeds.
    void SearchProgress(int address, int speed, int range);
    // The probe passes are over and found sensors; their identification follows.
    void SearchPassesDone(int found);
    void SensorFound(TDevice* device);
    void SensorReplied(TDevice* device, const TReplyNote& note);
    void StreamSamples(TDevice* device, const TSampleBatch& batch);
    void ReceiveError(TReceiveError error);
    void OperationFinished(TOperationCode code, const TOutcome& outcome);
    // A clone is done with the sensor at index of its list.
    void TargetFinished(int index, TDevice* device, const TOutcome& outcome);
    // The bus takes operations again.
    void Idle();
    // Everything on the line, for whoever watches it.
    void ChunkReceived(const TChunk& chunk);
    void RequestSent(const TRequest& request);

  private:
    friend class TOperationContext;
    // A write's outcome with its read-back compared, when the plan asks for it.
    static TOutcome Verified(const TWritePlan& plan, const TDevice& device, TOutcome outcome);
    struct TCall {
        std::function<void()> run;
    };
    using TInboxItem = std::variant<TChunk, TRequestPtr, TCall>;
    struct TOperation;

    // TReceiveSink
    void Replied(TDevice& device, const TReplyNote& note) override;
    void Completed(TRequest& request) override;
    void Samples(TDevice& device, std::span<const TStreamSample> samples, const TChunk& chunk) override;
    void Found(TDevice& device) override;
    void Error(TReceiveError error) override;
    void FrameTimeout(bool run) override;
    void Heard(const THeardFrame& heard) override;
    // The log's frame of a request as it leaves, and its answer's fate.
    void LogSent(TRequest& request);
    void GaveUp(const TRequest& request, std::chrono::steady_clock::duration waited, bool stopped);

    bool CanLaunch(TOperationCode code) const;
    bool Launch(std::unique_ptr<TOperation> operation);
    void Push(TInboxItem item);
    void PostDrain();
    // Posted by name: the call Qt queues then holds nothing of this program's that another
    // thread wrote, and the drain reads the inbox only under its lock.
    Q_INVOKABLE void Drain();
    void Process(TInboxItem& item);
    void Finish(TOutcome outcome);
    // Worker side: sends through the inbox's order; waits for a request or a pause.
    void SendRequest(const TRequestPtr& request);
    bool WaitUntil(std::chrono::steady_clock::time_point until, const std::function<bool()>& done);

    // Declared first: the driver's polling threads push into the inbox until the driver is gone.
    std::mutex inboxMutex_;
    std::deque<TInboxItem> inbox_;
    std::size_t inboxBytes_ = 0;
    bool drainPosted_ = false;
    bool closing_ = false;

    // The running operation's waits.
    std::mutex waitMutex_;
    std::condition_variable changed_;
    bool stop_ = false;

    TDeviceList devices_;
    TReceivePath receive_{devices_, *this};
    std::unique_ptr<TCommPortDriver> driver_;
    QTimer frameTimeout_;
    QTimer pauseAfter_;
    std::unique_ptr<TOperation> operation_;
    std::thread worker_;
    bool busy_ = false;
    bool streamRunning_ = false;
    int watchdogMs_ = DefaultWatchdogMs;
    std::atomic<bool> stopAfterCurrent_{false};
    std::atomic<bool> stopWriteAfterCurrent_{false};
    int probeDelayMs_ = 0;
    TTrafficLog traffic_;
    TLinkHealthTable health_;
};

Q_DECLARE_METATYPE(TReplyNote)
Q_DECLARE_METATYPE(TSampleBatch)
Q_DECLARE_METATYPE(TReceiveError)
Q_DECLARE_METATYPE(TChunk)
