#include "bus/SensorBus.h"
#include "bus/OperationContext.h"
#include "protocol/DeviceUnit.h"
#include "protocol/Frames.h"
#include "protocol/ReceiveFraming.h"
#include "serial/PortScan.h"
#include "serial/TCommPortDriver.h"
#include <QLoggingCategory>
#include <QThread>
#include <algorithm>
#include <pthread.h>

namespace {
Q_LOGGING_CATEGORY(lcBus, "veltrano.bus", QtWarningMsg)

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The Modbus frame timeout: bytes that have not made a frame by then are dropped.
constexpr int FrameTimeoutMs = 3000;
// Operations launched back to back stay at least this far apart on the line.
constexpr int PauseAfterOperationMs = 100;
constexpr int MinimumProbePauseMs = 10;
// What the receive side may hold for a thread that does not take it: some minutes of the fastest
// stream. Beyond it chunks are dropped, as a port's driver drops what nobody reads.
constexpr std::size_t InboxCapacityBytes = 16 * 1024 * 1024;
// The silence that ends a Modbus RTU frame, 3.5 characters, is kept before the next request.
constexpr std::int64_t ModbusSilenceBits = 35;
constexpr auto MinimumModbusSilence = 1750us;
} // namespace

struct TSensorBus::TOperation {
    TOperationArgs args;
    Clock::time_point deadline;
};

// ---- the operation's side ----

TCommPortDriver& TOperationContext::Driver()
{
    return bus_.Driver();
}

TDeviceList& TOperationContext::Devices()
{
    return bus_.Devices();
}

void TOperationContext::Post(std::function<void()> f)
{
    bus_.Push(TSensorBus::TCall{std::move(f)});
}

void TOperationContext::Send(const TRequestPtr& request)
{
    if (request->Protocol == TProtocol::Modbus && Clock::now() < quietUntil_)
        std::this_thread::sleep_until(quietUntil_);
    bus_.SendRequest(request);
}

TRequestState TOperationContext::Wait(const TRequestPtr& request)
{
    bus_.WaitUntil(deadline_, [&] { return request->State.load() != TRequestState::Pending; });
    // A reply arriving from now on is no one's.
    if (request->Finish(TRequestState::GivenUp))
        Post([bus = &bus_, request, waited = Clock::now() - request->SentAt, stopped = Stopped()] {
            bus->GaveUp(*request, waited, stopped);
        });
    const TRequestState state = request->State.load();
    if (state != TRequestState::GivenUp && request->Protocol == TProtocol::Modbus) {
        const int baud = std::max(request->Speed, 1);
        quietUntil_ = Clock::now() + std::max<Clock::duration>(
                                         MinimumModbusSilence,
                                         std::chrono::microseconds(ModbusSilenceBits * 1'000'000 / baud));
    }
    return state;
}

TRequestState TOperationContext::Transact(const TRequestPtr& request)
{
    Send(request);
    return Wait(request);
}

bool TOperationContext::Pause(std::chrono::milliseconds span)
{
    const auto until = std::min(Clock::now() + span, deadline_);
    bus_.WaitUntil(until, [] { return false; });
    return !Stopped() && until < deadline_;
}

bool TOperationContext::SwitchSpeed(int baud)
{
    if (BaudOf(Driver().ComPortSpeed()) == baud)
        return true;
    return SetComPortSpeed(Driver(), baud);
}

bool TOperationContext::Stopped() const
{
    const std::lock_guard lock(bus_.waitMutex_);
    return bus_.stop_;
}

TOutcome TOperationContext::Failure(const TRequestPtr& request) const
{
    if (request->State.load() == TRequestState::Refused)
        return OutcomeOf(TOutcomeKind::Refused, request->ExceptionCode.load());
    return OutcomeOf(Stopped() ? TOutcomeKind::Stopped : TOutcomeKind::Timeout);
}

void TOperationContext::TargetFinished(int index, const TOutcome& outcome)
{
    Post([bus = &bus_, index, outcome] {
        const auto* const operation = bus->operation_.get();
        if (!operation || index < 0 || static_cast<std::size_t>(index) >= operation->args.Targets.size())
            return;
        TDevice* const device = operation->args.Targets[static_cast<std::size_t>(index)];
        const TWritePlan& plan = operation->args.Plans[static_cast<std::size_t>(index)];
        emit bus->TargetFinished(index, device, bus->Verified(plan, *device, outcome));
    });
}

bool TOperationContext::StopAfterCurrent() const
{
    return bus_.stopAfterCurrent_;
}

bool TOperationContext::StopWriteAfterCurrent() const
{
    return bus_.stopWriteAfterCurrent_;
}

void TOperationContext::Report(TProgress step)
{
    Post([bus = &bus_, code = args_.Code, step] { emit bus->Progress(code, step); });
}

void TOperationContext::ReportSearchProgress(int address, int speed, int range)
{
    Post([bus = &bus_, address, speed, range] { emit bus->SearchProgress(address, speed, range); });
}

void TOperationContext::SetSearching(bool on)
{
    Post([bus = &bus_, on] { bus->receive_.SetSearching(on); });
}

int TOperationContext::PassesDone()
{
    struct TBarrier {
        bool passed = false;
        int found = 0;
    };
    auto barrier = std::make_shared<TBarrier>();
    Post([bus = &bus_, barrier] {
        const int found = bus->Devices().Count();
        {
            const std::lock_guard lock(bus->waitMutex_);
            barrier->found = found;
            barrier->passed = true;
        }
        bus->changed_.notify_all();
        emit bus->SearchPassesDone(found);
    });
    // Only a stop ends this wait: the bus's thread takes the call in turn.
    bus_.WaitUntil(Clock::now() + std::chrono::hours(24), [&] { return barrier->passed; });
    const std::lock_guard lock(bus_.waitMutex_);
    return barrier->passed ? barrier->found : -1;
}

void TOperationContext::BeginStream(TDevice& device)
{
    device.threadResultIsExec = true;
    Post([bus = &bus_, device = &device] { bus->receive_.SetStreaming(device); });
}

void TOperationContext::StreamStarted()
{
    Post([bus = &bus_] { bus->streamRunning_ = true; });
}

// ---- the bus ----

TSensorBus::TSensorBus(QObject* parent) : QObject(parent), driver_(std::make_unique<TCommPortDriver>())
{
    driver_->setObjectName(QStringLiteral("CommPortDriver1"));
    driver_->setOnReceiveData([this](const TChunk& chunk) { Push(chunk); });
    frameTimeout_.setSingleShot(true);
    frameTimeout_.setInterval(FrameTimeoutMs);
    // Its interval is the time the user is told of; a coarse timer may fire 5 % early.
    frameTimeout_.setTimerType(Qt::PreciseTimer);
    connect(&frameTimeout_, &QTimer::timeout, this, [this] { receive_.FrameTimedOut(); });
    pauseAfter_.setSingleShot(true);
    pauseAfter_.setInterval(PauseAfterOperationMs);
    pauseAfter_.setTimerType(Qt::PreciseTimer);
    connect(&pauseAfter_, &QTimer::timeout, this, [this] {
        busy_ = false;
        emit Idle();
    });
}

TSensorBus::~TSensorBus()
{
    Shutdown();
}

void TSensorBus::Shutdown()
{
    {
        const std::lock_guard lock(inboxMutex_);
        if (closing_)
            return;
        closing_ = true;
        inbox_.clear();
    }
    {
        const std::lock_guard lock(waitMutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable())
        worker_.join();
    operation_.reset();
    // The polling threads end with the driver; none pushes any more.
    driver_->Disconnect();
    driver_->setOnReceiveData({});
    frameTimeout_.stop();
    pauseAfter_.stop();
    busy_ = false;
    qCDebug(lcBus) << "bus closed";
}

void TSensorBus::SetProtocol(TProtocol protocol)
{
    receive_.SetProtocol(protocol);
}

int TSensorBus::ProbePauseMs() const
{
    return std::max(probeDelayMs_, MinimumProbePauseMs);
}

bool TSensorBus::SetLineSpeed(int baud)
{
    return SetComPortSpeed(*driver_, baud);
}

void TSensorBus::StreamEnded()
{
    streamRunning_ = false;
    if (TDevice* const device = receive_.Streaming())
        device->threadResultIsExec = false;
    receive_.SetStreaming(nullptr);
}

void TSensorBus::Receive(const TChunk& chunk)
{
    emit ChunkReceived(chunk);
    receive_.Receive(chunk);
}

// ---- launches ----

bool TSensorBus::Start(TOperationCode code, TDevice* device)
{
    if (!device || code == TOperationCode::WriteParameters || code == TOperationCode::Search ||
        code == TOperationCode::ReadAllLatches || code == TOperationCode::LatchAll)
        return false;
    auto operation = std::make_unique<TOperation>();
    operation->args.Code = code;
    operation->args.Device = device;
    return Launch(std::move(operation));
}

bool TSensorBus::StartWrite(TDevice* device, const TWritePlan& plan)
{
    if (!device || !CanLaunch(TOperationCode::WriteParameters))
        return false;
    auto operation = std::make_unique<TOperation>();
    operation->args.Code = TOperationCode::WriteParameters;
    operation->args.Device = device;
    operation->args.Plan = plan;
    operation->args.OldAddress = device->AddressNumber();
    if (operation->args.OldAddress < 0 || plan.NewAddress < 0 || plan.NewAddress > 255)
        return false;
    stopWriteAfterCurrent_ = false;
    const QByteArray oldText = device->AdressStr.load();
    device->AdressStr = AddressText(plan.NewAddress);
    if (Launch(std::move(operation)))
        return true;
    device->AdressStr = oldText;
    return false;
}

bool TSensorBus::StartSearch(const TSearchParams& params)
{
    if (!CanLaunch(TOperationCode::Search) || params.Range < 1 || params.Range > 255 || params.DelayMs < 1 ||
        params.First < 1 || params.First > params.Range)
        return false;
    for (const int speed : params.Speeds)
        if (std::find(SearchSpeeds().begin(), SearchSpeeds().end(), speed) == SearchSpeeds().end())
            return false;
    auto operation = std::make_unique<TOperation>();
    operation->args.Code = TOperationCode::Search;
    operation->args.Search = params;
    probeDelayMs_ = params.DelayMs;
    // The records go: nothing may point at them any more.
    StreamEnded();
    devices_.Clear();
    health_.Reset();
    emit DevicesCleared();
    Push(TCall{[this] { receive_.Clear(); }});
    driver_->FlushBuffers(true, true);
    if (driver_->Connected())
        driver_->Disconnect();
    driver_->setComPort(params.Port);
    // A port that does not open is a failed search, not a bus without sensors.
    if (!driver_->Connect())
        return false;
    return Launch(std::move(operation));
}

bool TSensorBus::StartReadAllLatches(TDevice* returnTo)
{
    auto operation = std::make_unique<TOperation>();
    operation->args.Code = TOperationCode::ReadAllLatches;
    operation->args.ReturnTo = returnTo;
    return devices_.Count() > 0 && Launch(std::move(operation));
}

bool TSensorBus::StartLatchAll(const std::vector<int>& speeds, TDevice* returnTo)
{
    auto operation = std::make_unique<TOperation>();
    operation->args.Code = TOperationCode::LatchAll;
    operation->args.Speeds = speeds;
    operation->args.ReturnTo = returnTo;
    return devices_.Count() > 0 && Launch(std::move(operation));
}

bool TSensorBus::StartReadSeveral(const std::vector<TDevice*>& sensors, TDevice* returnTo)
{
    if (sensors.empty() || std::find(sensors.begin(), sensors.end(), nullptr) != sensors.end())
        return false;
    auto operation = std::make_unique<TOperation>();
    operation->args.Code = TOperationCode::ReadSeveral;
    operation->args.Targets = sensors;
    operation->args.ReturnTo = returnTo;
    return Launch(std::move(operation));
}

bool TSensorBus::StartClone(const std::vector<TDevice*>& sensors, const std::vector<TWritePlan>& plans,
                            TDevice* returnTo)
{
    if (sensors.empty() || sensors.size() != plans.size() ||
        std::find(sensors.begin(), sensors.end(), nullptr) != sensors.end())
        return false;
    auto operation = std::make_unique<TOperation>();
    operation->args.Code = TOperationCode::Clone;
    operation->args.Targets = sensors;
    operation->args.Plans = plans;
    operation->args.ReturnTo = returnTo;
    stopAfterCurrent_ = false;
    stopWriteAfterCurrent_ = false;
    return Launch(std::move(operation));
}

bool TSensorBus::CanLaunch(TOperationCode code) const
{
    Q_ASSERT(QThread::currentThread() == thread());
    const TDevice* const streaming = receive_.Streaming();
    const bool streams = streaming && streaming->threadResultIsExec;
    // While a sensor streams it holds the line: only its stop gets through.
    return !busy_ && !closing_ && (!streams || code == TOperationCode::StopStream);
}

bool TSensorBus::Launch(std::unique_ptr<TOperation> operation)
{
    TOperationArgs& args = operation->args;
    if (!CanLaunch(args.Code))
        return false;
    busy_ = true;
    // After an unplugged adapter is back, the next operation opens its port again. Bytes kept from
    // before the loss can never complete with bytes after it.
    if (driver_->PortLost() && driver_->Reopen())
        Push(TCall{[this] { receive_.Clear(); }});
    // The stop keeps the start of a sample that may still be arriving.
    if (args.Code != TOperationCode::StopStream && args.Code != TOperationCode::Search)
        Push(TCall{[this] { receive_.Clear(); }});
    args.Protocol = receive_.Protocol();
    args.ProbePauseMs = ProbePauseMs();
    args.WatchdogMs = watchdogMs_;
    const int factor = args.Code == TOperationCode::Defaults ? 2 : 1;
    operation->deadline = Clock::now() + std::chrono::milliseconds(std::int64_t{watchdogMs_} * factor);
    {
        const std::lock_guard lock(waitMutex_);
        stop_ = false;
    }
    operation_ = std::move(operation);
    TOperation* const running = operation_.get();
    try {
        worker_ = std::thread([this, running] {
            TOperationContext context(*this, running->args, running->deadline);
            TOutcome outcome;
            try {
                outcome = RunOperation(context);
            } catch (const std::exception& e) {
                // A record whose address text is no address, a block too long for a frame: nothing
                // that waiting longer would mend.
                qCWarning(lcBus) << "operation" << static_cast<int>(running->args.Code)
                                 << "failed:" << e.what();
                outcome = OutcomeOf(TOutcomeKind::Failed);
            }
            Push(TCall{[this, outcome] { Finish(outcome); }});
        });
        ::pthread_setname_np(worker_.native_handle(), WorkerName(args.Code));
    } catch (const std::system_error& e) {
        qCWarning(lcBus) << "no worker thread:" << e.what();
        operation_.reset();
        busy_ = false;
        return false;
    }
    qCDebug(lcBus) << "operation" << static_cast<int>(args.Code) << "launched";
    emit OperationStarted(args.Code);
    return true;
}

// The read-back has filled the record on this thread, where it may be looked at.
TOutcome TSensorBus::Verified(const TWritePlan& plan, const TDevice& device, TOutcome outcome)
{
    if (!plan.Verify || outcome.Kind != TOutcomeKind::Done)
        return outcome;
    outcome.Verified = true;
    outcome.Differing = ImageDifferences(*plan.Verify, ImageOf(device));
    if (!outcome.Differing.empty())
        outcome.Kind = TOutcomeKind::Differs;
    return outcome;
}

void TSensorBus::Finish(TOutcome outcome)
{
    if (worker_.joinable())
        worker_.join();
    const std::unique_ptr<TOperation> operation = std::move(operation_);
    if (!operation)
        return;
    const TOperationArgs& args = operation->args;
    if (outcome.Kind == TOutcomeKind::Timeout && driver_->PortLost()) {
        outcome.Kind = TOutcomeKind::PortLost;
        outcome.Port = driver_->ComPort();
    }
    if (args.Code == TOperationCode::WriteParameters && outcome.Kind != TOutcomeKind::Done &&
        !outcome.AddressWritten)
        args.Device->AdressStr = AddressText(args.OldAddress);
    if (args.Code == TOperationCode::WriteParameters)
        outcome = Verified(args.Plan, *args.Device, outcome);
    qCDebug(lcBus) << "operation" << static_cast<int>(args.Code)
                   << "ended:" << static_cast<int>(outcome.Kind);
    emit OperationFinished(args.Code, outcome);
    if (closing_)
        return;
    // A latch-all has paused after each of its broadcasts already.
    if (args.Code == TOperationCode::LatchAll) {
        busy_ = false;
        emit Idle();
    } else {
        pauseAfter_.start();
    }
}

// ---- the line ----

void TSensorBus::SendRequest(const TRequestPtr& request)
{
    request->Speed = BaudOf(driver_->ComPortSpeed());
    request->SentAt = Clock::now();
    // In the inbox before the bytes leave: whatever is read from now on may be its reply.
    Push(request);
    driver_->SendString(request->Frame);
}

bool TSensorBus::WaitUntil(Clock::time_point until, const std::function<bool()>& done)
{
    std::unique_lock lock(waitMutex_);
    return changed_.wait_until(lock, until, [&] { return stop_ || done(); }) && !stop_;
}

void TSensorBus::Push(TInboxItem item)
{
    bool post = false;
    {
        const std::lock_guard lock(inboxMutex_);
        if (closing_)
            return;
        if (const TChunk* const chunk = std::get_if<TChunk>(&item)) {
            if (inboxBytes_ + static_cast<std::size_t>(chunk->Bytes.size()) > InboxCapacityBytes) {
                qCWarning(lcBus) << "receive queue full:" << chunk->Bytes.size() << "bytes dropped";
                return;
            }
            inboxBytes_ += static_cast<std::size_t>(chunk->Bytes.size());
        }
        inbox_.push_back(std::move(item));
        post = !std::exchange(drainPosted_, true);
    }
    if (post)
        PostDrain();
}

void TSensorBus::PostDrain()
{
    QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
}

// One item at a time, in order. A call may reach a client that opens a modal box, whose event
// loop then drains on: the drain is posted again before each call, so the line goes on being read.
void TSensorBus::Drain()
{
    for (;;) {
        TInboxItem item;
        bool post = false;
        {
            const std::lock_guard lock(inboxMutex_);
            if (inbox_.empty() || closing_) {
                drainPosted_ = false;
                return;
            }
            item = std::move(inbox_.front());
            inbox_.pop_front();
            if (const TChunk* const chunk = std::get_if<TChunk>(&item))
                inboxBytes_ -= static_cast<std::size_t>(chunk->Bytes.size());
            if (std::holds_alternative<TCall>(item))
                post = !inbox_.empty();
            drainPosted_ = post || !std::holds_alternative<TCall>(item);
        }
        if (post)
            PostDrain();
        Process(item);
    }
}

void TSensorBus::Process(TInboxItem& item)
{
    if (TChunk* const chunk = std::get_if<TChunk>(&item)) {
        Receive(*chunk);
    } else if (TRequestPtr* const request = std::get_if<TRequestPtr>(&item)) {
        LogSent(**request);
        receive_.Sent(*request);
        emit RequestSent(**request);
    } else if (TCall* const call = std::get_if<TCall>(&item)) {
        if (call->run)
            call->run();
    }
}

// ---- TReceiveSink ----

void TSensorBus::Replied(TDevice& device, const TReplyNote& note)
{
    emit SensorReplied(&device, note);
}

void TSensorBus::Completed(TRequest& request)
{
    // A stream's stop may be answered by any line of the stream, which is no reply of its own.
    if (TTrafficFrame* const sent = traffic_.Find(request.LogSeq);
        sent && sent->Status == TFrameStatus::Pending)
        sent->Status =
            request.State.load() == TRequestState::Refused ? TFrameStatus::Exception : TFrameStatus::Ok;
    {
        const std::lock_guard lock(waitMutex_);
    }
    changed_.notify_all();
}

void TSensorBus::Samples(TDevice& device, std::span<const TStreamSample> samples, const TChunk& chunk)
{
    TSampleBatch batch;
    batch.Samples.assign(samples.begin(), samples.end());
    batch.Speed = chunk.Speed;
    batch.ReadAt = chunk.ReadAt;
    emit StreamSamples(&device, batch);
}

void TSensorBus::Found(TDevice& device)
{
    emit SensorFound(&device);
}

void TSensorBus::Error(TReceiveError error)
{
    emit ReceiveError(error);
}

namespace {
std::int64_t Microseconds(Clock::duration span)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(span).count();
}

// The address a request goes to, as its frame names it.
int SentAddress(const TRequest& request)
{
    if (request.Protocol == TProtocol::Modbus)
        return request.Frame.isEmpty() ? -1 : static_cast<std::uint8_t>(request.Frame[0]);
    const qsizetype hash = request.Frame.indexOf('#');
    return hash < 0 ? -1 : HexAddressNumber(request.Frame.mid(hash + 1, 2));
}

void TakeRequest(TTrafficFrame& frame, const TRequest& request)
{
    frame.HasKind = true;
    frame.Kind = request.Kind;
    frame.Head = request.Head;
    frame.Register = request.Register;
    frame.Value = request.Value;
}
} // namespace

void TSensorBus::LogSent(TRequest& request)
{
    TTrafficFrame frame;
    frame.At = request.SentAt;
    frame.Direction = TFrameDirection::Sent;
    frame.Protocol = request.Protocol;
    frame.Port = driver_->ComPort();
    frame.Speed = request.Speed;
    frame.Address = SentAddress(request);
    frame.Bytes = request.Frame;
    TakeRequest(frame, request);
    frame.Status = request.ExpectsReply() ? TFrameStatus::Pending : TFrameStatus::Ok;
    request.LogSeq = traffic_.Add(std::move(frame));
    if (request.ExpectsReply() && request.ReplyAddress > 0)
        ++health_.At(request.ReplyAddress).Requests;
}

void TSensorBus::GaveUp(const TRequest& request, Clock::duration waited, bool stopped)
{
    if (TTrafficFrame* const sent = traffic_.Find(request.LogSeq);
        sent && sent->Status == TFrameStatus::Pending) {
        sent->Status = TFrameStatus::NoReply;
        sent->ResponseUs = Microseconds(waited);
    }
    // An operation the user or the program stopped did not wait its time out.
    if (!stopped && request.ReplyAddress > 0)
        ++health_.At(request.ReplyAddress).Timeouts;
}

void TSensorBus::Heard(const THeardFrame& heard)
{
    TTrafficFrame frame;
    frame.At = heard.FirstAt;
    frame.Protocol = receive_.Protocol();
    frame.Port = driver_->ComPort();
    frame.Speed = heard.Speed;
    frame.Address = heard.Address;
    frame.Bytes = heard.Bytes;
    frame.Stream = heard.Stream;
    frame.Status = heard.Status;
    const TRequest* const request = heard.Request;
    if (request) {
        TakeRequest(frame, *request);
        frame.ResponseUs = Microseconds(heard.ReadAt - request->SentAt);
        frame.ExceptionCode = request->ExceptionCode.load();
    }
    const bool answers = request && request->Kind != TRequestKind::Probe &&
                         (heard.Status == TFrameStatus::Ok || heard.Status == TFrameStatus::Exception ||
                          heard.Status == TFrameStatus::Malformed);
    if (answers) {
        if (TTrafficFrame* const sent = traffic_.Find(request->LogSeq);
            sent && sent->Status == TFrameStatus::Pending) {
            sent->Status =
                heard.Status == TFrameStatus::Exception ? TFrameStatus::Exception : TFrameStatus::Ok;
            sent->ResponseUs = frame.ResponseUs;
        }
    }
    const std::int64_t responseUs = frame.ResponseUs;
    traffic_.Add(std::move(frame));
    const bool error = heard.Status == TFrameStatus::CrcError || heard.Status == TFrameStatus::Unmatched ||
                       heard.Status == TFrameStatus::Malformed;
    // Search answers and good stream groups count nothing: only what a sensor was asked, and trouble.
    if (heard.Address < 1 || (!answers && !error && heard.Status != TFrameStatus::Late))
        return;
    TLinkHealth& health = health_.At(heard.Address);
    if (answers)
        health.AddResponse(responseUs);
    health.Exceptions += heard.Status == TFrameStatus::Exception;
    health.Late += heard.Status == TFrameStatus::Late;
    health.Errors += error;
}

void TSensorBus::FrameTimeout(bool run)
{
    if (!run)
        frameTimeout_.stop();
    else if (!frameTimeout_.isActive())
        frameTimeout_.start();
}
