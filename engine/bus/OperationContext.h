#pragma once
// What an operation's body works with on its worker thread: the requests it sends and waits for,
// bounded by its watchdog and ended early by a stop, and the reports it hands to the bus's thread.
#include "bus/Operation.h"
#include "protocol/Protocol.h"
#include "protocol/Requests.h"
#include <chrono>
#include <functional>

class TCommPortDriver;
class TDevice;
class TDeviceList;
class TSensorBus;

// What a launch gives its operation.
struct TOperationArgs {
    TOperationCode Code = TOperationCode::SwitchOn;
    TProtocol Protocol = TProtocol::Standard;
    TDevice* Device = nullptr;
    TDevice* ReturnTo = nullptr;
    TWritePlan Plan;
    int OldAddress = 0;
    TSearchParams Search;
    std::vector<int> Speeds;
    int ProbePauseMs = 10;
    // ReadSeveral and Clone: the sensors in turn, each under a watchdog of its own; Clone: the
    // write of each.
    std::vector<TDevice*> Targets;
    std::vector<TWritePlan> Plans;
    int WatchdogMs = 0;
};

class TOperationContext {
  public:
    using Clock = std::chrono::steady_clock;

    TOperationContext(TSensorBus& bus, const TOperationArgs& args, Clock::time_point deadline)
        : bus_(bus), args_(args), deadline_(deadline)
    {
    }

    const TOperationArgs& Args() const { return args_; }
    TProtocol Protocol() const { return args_.Protocol; }
    TCommPortDriver& Driver();
    TDeviceList& Devices();

    // Sends the request and waits for its reply: Answered, Refused, or GivenUp when the watchdog
    // ran out or the bus stopped the operation first.
    TRequestState Transact(const TRequestPtr& request);
    // Sends a request; a reply, if it draws one, is awaited by Wait.
    void Send(const TRequestPtr& request);
    TRequestState Wait(const TRequestPtr& request);
    // Waits span; false when the watchdog ran out or the operation was stopped first.
    bool Pause(std::chrono::milliseconds span);
    // The line-speed table for baud, unless the line already runs at it: a switch purges the
    // line, and with it a request that may still be leaving.
    bool SwitchSpeed(int baud);
    // Reports to the bus's clients, in order with what the line brings.
    void Report(TProgress step);
    void ReportSearchProgress(int address, int speed, int range);
    // The receive path's search mode, switched in order with the probes.
    void SetSearching(bool on);
    // Once every answer received so far has made its record: the number of sensors found, which
    // the bus reports; -1 when the operation was stopped meanwhile.
    int PassesDone();
    // The stream's lines go to device from now on; then, once its start has gone out, it runs.
    void BeginStream(TDevice& device);
    void StreamStarted();
    // One sensor of a clone is done with: the bus compares its read-back and reports it.
    void TargetFinished(int index, const TOutcome& outcome);
    // The user has asked a clone to stop once the sensor at hand is done.
    bool StopAfterCurrent() const;
    // The user has asked a write to stop once the register at hand is written.
    bool StopWriteAfterCurrent() const;

    bool Stopped() const;
    // The watchdog of the next steps: the search gives each probe pass and its identification
    // their own.
    void SetDeadline(Clock::time_point deadline) { deadline_ = deadline; }

    // The outcome of an operation whose request did not get its answer.
    TOutcome Failure(const TRequestPtr& request) const;

  private:
    void Post(std::function<void()> f);

    TSensorBus& bus_;
    const TOperationArgs& args_;
    Clock::time_point deadline_;
    Clock::time_point quietUntil_{};
};

// The operation bodies, by code.
TOutcome RunOperation(TOperationContext& context);
