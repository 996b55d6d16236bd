// The operations: what each sends, in which order, and what ends it.
#include "bus/OperationContext.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "protocol/Frames.h"
#include "protocol/RegisterMap.h"
#include "serial/PortScan.h"
#include "serial/TCommPortDriver.h"
#include <pthread.h>
#include <thread>

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The sensor rewrites its flash before it answers reads again.
constexpr auto DefaultsPause = 1000ms;
// Lets the samples already on the line arrive before the stream's quiet check starts counting.
constexpr auto StreamStopSettle = 100ms;
// Bits of line time at the old speed granted to a request that changes the line speed, beyond
// its own length, before the line switches.
constexpr int SwitchPauseBits = 200;
// A begun answer is taken for complete once the line has been quiet this long.
constexpr auto QuietLine = 3ms;
// A probe pass and the identification may each take 100 times the search delay per address.
constexpr int SearchWatchdogFactor = 100;

struct TWorkerEntry {
    TOperationCode code;
    const char* name;
};
constexpr TWorkerEntry OperationTable[] = {
    {TOperationCode::SwitchOn, "Tthread1"},
    {TOperationCode::SwitchOff, "TThread2"},
    {TOperationCode::ReadParameters, "TTrdDevice"},
    {TOperationCode::WriteParameters, "TThread3"},
    {TOperationCode::Defaults, "TThread9"},
    {TOperationCode::SaveToFlash, "TThread11"},
    {TOperationCode::StartStream, "TThread5"},
    {TOperationCode::StopStream, "TThread10"},
    {TOperationCode::Latch, "TThread6"},
    {TOperationCode::ReadLatch, "TThread7"},
    {TOperationCode::ReadLastResult, "TThread8"},
    {TOperationCode::Search, "TThread4"},
    {TOperationCode::ReadAllLatches, "TThread13"},
    {TOperationCode::Configure, "TThread14"},
    {TOperationCode::LatchAll, "LatchAll"},
    {TOperationCode::ReadSeveral, "ReadSeveral"},
    {TOperationCode::Clone, "Clone"},
};

TOutcome Done()
{
    return {};
}

bool Answered(TRequestState state)
{
    return state == TRequestState::Answered;
}

std::chrono::milliseconds LineTime(int bits, int baud)
{
    return std::chrono::milliseconds(baud > 0 ? (bits * 1000 + baud - 1) / baud : 0);
}

// The operations that send one request and wait for its reply share this body.
TOutcome OneRequest(TOperationContext& c, const TRequestPtr& request)
{
    return Answered(c.Transact(request)) ? Done() : c.Failure(request);
}

TOutcome Command(TOperationContext& c, const char command[2])
{
    return OneRequest(c, Requests::Command(*c.Args().Device, c.Protocol(), command));
}

// Every parameter register of the sensor: 34 reads in the standard protocol, the flag register
// and the parameter block in Modbus.
TOutcome ReadParametersOf(TOperationContext& c, TDevice& device)
{
    c.Report(TProgress::Reading);
    std::vector<TRequestPtr> reads;
    if (c.Protocol() == TProtocol::Modbus) {
        reads = {Requests::ReadFlags(device), Requests::ReadBlock(device)};
    } else {
        for (const QByteArray& code_ : StandardReadCodes())
            reads.push_back(Requests::ReadRegister(device, code_));
    }
    for (const TRequestPtr& request : reads)
        if (!Answered(c.Transact(request)))
            return c.Failure(request);
    return Done();
}

TOutcome ReadParameters(TOperationContext& c)
{
    return ReadParametersOf(c, *c.Args().Device);
}

TOutcome Defaults(TOperationContext& c)
{
    const TRequestPtr request = Requests::Command(*c.Args().Device, c.Protocol(), "DF");
    c.Send(request);
    // The pause counts from the request, whether or not the echo comes meanwhile.
    if (!c.Pause(DefaultsPause) || !Answered(c.Wait(request)))
        return c.Failure(request);
    return ReadParameters(c);
}

// The line switches to the new speed once the request that sets it has left the line, and the
// sensor answers that request at the new speed.
bool SwitchForAnswer(TOperationContext& c, TDevice& device, const TRequestPtr& request, int newSpeed)
{
    const int oldSpeed = device.ComPortSpeed.load();
    if (newSpeed == oldSpeed || newSpeed <= 0)
        return true;
    const int bits = static_cast<int>(request->Frame.size()) * 10 + SwitchPauseBits;
    if (oldSpeed > 0 && !c.Pause(LineTime(bits, oldSpeed)))
        return false;
    device.ComPortSpeed = newSpeed;
    c.SwitchSpeed(newSpeed);
    return true;
}

// The address write goes to the old address and its echo comes from the new one; every later
// write goes to the new address. The line speed is written last. A stop asked for meanwhile
// lets the register at hand finish and sends no more.
TOutcome WriteStandard(TOperationContext& c, TDevice& device, const TWritePlan& plan, int oldAddress,
                       bool& addressWritten, int& written)
{
    const QByteArray addressRegister = RegisterOf(TParam::Address).StdLow;
    for (std::size_t i = 0; i < plan.Standard.size(); ++i) {
        if (c.StopWriteAfterCurrent())
            return OutcomeOf(TOutcomeKind::Stopped);
        const TRegisterWrite& write = plan.Standard[i];
        const int to = addressWritten ? plan.NewAddress : oldAddress;
        const int from = write.Register == addressRegister ? plan.NewAddress : to;
        const TRequestPtr request = Requests::WriteRegister(device, to, from, write);
        c.Send(request);
        if (i + 1 == plan.Standard.size() && !SwitchForAnswer(c, device, request, plan.NewSpeed))
            return c.Failure(request);
        if (!Answered(c.Wait(request)))
            return c.Failure(request);
        ++written;
        if (write.Register == addressRegister)
            addressWritten = true;
    }
    return Done();
}

// Both writes go to the old address and are answered from it; the sensor takes its new address
// with the block.
TOutcome WriteModbus(TOperationContext& c, TDevice& device, const TWritePlan& plan, int address,
                     bool& addressWritten, int& written)
{
    const TRequestPtr flags = Requests::WriteFlags(device, address, plan.Flags);
    if (!Answered(c.Transact(flags)))
        return c.Failure(flags);
    ++written;
    if (c.StopWriteAfterCurrent())
        return OutcomeOf(TOutcomeKind::Stopped);
    const TRequestPtr block = Requests::WriteBlock(device, address, plan.Block);
    c.Send(block);
    if (!SwitchForAnswer(c, device, block, plan.NewSpeed) || !Answered(c.Wait(block)))
        return c.Failure(block);
    ++written;
    addressWritten = true;
    return Done();
}

// A verified write reads every register back; the bus compares what came with what was written.
TOutcome WriteOne(TOperationContext& c, TDevice& device, const TWritePlan& plan, int oldAddress)
{
    bool addressWritten = false;
    int written = 0;
    TOutcome outcome = c.Protocol() == TProtocol::Modbus
                           ? WriteModbus(c, device, plan, oldAddress, addressWritten, written)
                           : WriteStandard(c, device, plan, oldAddress, addressWritten, written);
    // Stopped after the last register: written, but not read back.
    if (outcome.Kind == TOutcomeKind::Done && c.StopWriteAfterCurrent())
        outcome = OutcomeOf(TOutcomeKind::Stopped);
    if (outcome.Kind == TOutcomeKind::Done && plan.Verify) {
        // The read-back is a step of its own, under a watchdog of its own.
        c.SetDeadline(Clock::now() + std::chrono::milliseconds(c.Args().WatchdogMs));
        outcome = ReadParametersOf(c, device);
    }
    outcome.AddressWritten = addressWritten;
    outcome.Written = written;
    return outcome;
}

TOutcome WriteParameters(TOperationContext& c)
{
    return WriteOne(c, *c.Args().Device, c.Args().Plan, c.Args().OldAddress);
}

// Each sensor at its own speed and under a watchdog of its own; then back to the chosen one.
TOutcome ReadSeveral(TOperationContext& c)
{
    TOutcome outcome;
    for (TDevice* const device : c.Args().Targets) {
        c.SetDeadline(Clock::now() + std::chrono::milliseconds(c.Args().WatchdogMs));
        c.SwitchSpeed(device->ComPortSpeed.load());
        outcome = ReadParametersOf(c, *device);
        if (outcome.Kind != TOutcomeKind::Done)
            break;
    }
    if (c.Args().ReturnTo)
        c.SwitchSpeed(c.Args().ReturnTo->ComPortSpeed.load());
    return outcome;
}

// A sensor that fails does not keep the next from its turn; a stop asked for while a sensor is
// being written ends the clone once that sensor is done, with the rest untouched.
TOutcome Clone(TOperationContext& c)
{
    const std::vector<TDevice*>& targets = c.Args().Targets;
    for (std::size_t index = 0; index < targets.size() && !c.Stopped(); ++index) {
        if (index > 0 && c.StopAfterCurrent())
            break;
        TDevice& device = *targets[index];
        c.SetDeadline(Clock::now() + std::chrono::milliseconds(c.Args().WatchdogMs));
        c.SwitchSpeed(device.ComPortSpeed.load());
        const int address = device.AddressNumber();
        if (address < 0) {
            c.TargetFinished(static_cast<int>(index), OutcomeOf(TOutcomeKind::Failed));
            continue;
        }
        // As a single write does: the record answers to its new address from the write on, and
        // gets its old one back should the sensor not have taken the new one.
        const TWritePlan& plan = c.Args().Plans[index];
        const QByteArray oldText = device.AdressStr.load();
        if (plan.NewAddress != address)
            device.AdressStr = AddressText(plan.NewAddress);
        const TOutcome outcome = WriteOne(c, device, plan, address);
        if (outcome.Kind != TOutcomeKind::Done && outcome.Kind != TOutcomeKind::Differs &&
            !outcome.AddressWritten)
            device.AdressStr = oldText;
        c.TargetFinished(static_cast<int>(index), outcome);
    }
    if (c.Args().ReturnTo)
        c.SwitchSpeed(c.Args().ReturnTo->ComPortSpeed.load());
    return c.Stopped() ? OutcomeOf(TOutcomeKind::Stopped) : Done();
}

TOutcome StartStream(TOperationContext& c)
{
    TDevice& device = *c.Args().Device;
    // The stream's lines go to the sensor from before its start request leaves.
    c.BeginStream(device);
    c.Send(Requests::StreamStart(device));
    c.StreamStarted();
    return Done();
}

TOutcome StopStream(TOperationContext& c)
{
    c.Report(TProgress::StoppingStream);
    const TRequestPtr request = Requests::StreamStop(*c.Args().Device);
    if (!Answered(c.Transact(request)))
        return c.Failure(request);
    return c.Pause(StreamStopSettle) ? Done() : c.Failure(request);
}

TOutcome ReadAllLatches(TOperationContext& c)
{
    TOutcome outcome;
    const int count = c.Devices().Count();
    for (int index = 0; index < count && outcome.Kind == TOutcomeKind::Done; ++index) {
        TDevice* const device = c.Devices().At(index);
        if (!device)
            break;
        c.SwitchSpeed(device->ComPortSpeed.load());
        const TRequestPtr request = Requests::ReadLatched(*device, c.Protocol());
        if (!Answered(c.Transact(request)))
            outcome = c.Failure(request);
    }
    // Also after a failure: the next operation addresses the chosen sensor at its own speed.
    if (c.Args().ReturnTo)
        c.SwitchSpeed(c.Args().ReturnTo->ComPortSpeed.load());
    return outcome;
}

TOutcome LatchAll(TOperationContext& c)
{
    const std::vector<int>& speeds = c.Args().Speeds;
    if (speeds.empty()) {
        c.Send(Requests::LatchBroadcast(c.Protocol()));
    } else {
        for (const int speed : speeds) {
            c.SwitchSpeed(speed);
            c.Send(Requests::LatchBroadcast(c.Protocol()));
            // Lets the broadcast leave the line before it switches again.
            if (!c.Pause(std::chrono::milliseconds(c.Args().ProbePauseMs)))
                return OutcomeOf(TOutcomeKind::Stopped);
        }
    }
    if (c.Args().ReturnTo)
        c.SwitchSpeed(c.Args().ReturnTo->ComPortSpeed.load());
    return Done();
}

// One probe pass: every address at one speed. The pass always runs to its last address unless
// stopped; what answers becomes a record on the bus's thread, at the speed it arrived at.
bool ProbePass(TOperationContext& c, int speed)
{
    if (!SetComPortSpeed(c.Driver(), speed) || !c.Driver().Connect())
        return true; // the line does not take this speed: the next one is probed
    const TSearchParams& search = c.Args().Search;
    const auto pause = std::chrono::milliseconds(c.Args().ProbePauseMs);
    for (int address = search.First; address <= search.Range; ++address) {
        c.ReportSearchProgress(address, speed, search.Range);
        c.Send(Requests::Probe(address, c.Protocol()));
        if (!c.Pause(pause))
            return !c.Stopped();
    }
    // An answer that began within the last pause is read whole at this speed before the switch.
    const auto until = Clock::now() + pause;
    while (Clock::now() < until && Clock::now() - c.Driver().LastByteAt() < QuietLine) {
        if (c.Stopped())
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TOutcome Search(TOperationContext& c)
{
    const TSearchParams& search = c.Args().Search;
    const auto watchdog = std::chrono::milliseconds(std::int64_t{search.Range - search.First + 1} *
                                                    search.DelayMs * SearchWatchdogFactor);
    c.SetSearching(true);
    for (const int speed : search.Speeds.empty() ? SearchSpeeds() : search.Speeds) {
        // A pass that outlasts its watchdog ends silently and the search goes on.
        c.SetDeadline(Clock::now() + watchdog);
        if (!ProbePass(c, speed) && c.Stopped())
            return OutcomeOf(TOutcomeKind::Stopped);
    }
    c.SetSearching(false);
    // The records are made on the bus's thread: the identification starts once it has them all.
    const int found = c.PassesDone();
    if (found < 0)
        return OutcomeOf(TOutcomeKind::Stopped);
    if (found == 0)
        return OutcomeOf(TOutcomeKind::NotFound);

    ::pthread_setname_np(::pthread_self(), "TThread12");
    c.SetDeadline(Clock::now() + watchdog);
    SetComPortSpeed(c.Driver(), c.Devices().At(0)->ComPortSpeed.load());
    c.Driver().Connect();
    for (int index = 0; index < found; ++index) {
        TDevice* const device = c.Devices().At(index);
        SetComPortSpeed(c.Driver(), device->ComPortSpeed.load());
        const TRequestPtr request = Requests::ReadIdent(*device, c.Protocol());
        c.Send(request);
        if (!c.Pause(std::chrono::milliseconds(c.Args().ProbePauseMs)) || !Answered(c.Wait(request)))
            return c.Failure(request);
    }
    return Done();
}
} // namespace

TWritePlan WritePlanOfImage(const TParamImage& image, int newAddress, int newSpeed, TProtocol protocol,
                            bool verify)
{
    TWritePlan plan;
    plan.NewAddress = newAddress;
    plan.NewSpeed = newSpeed;
    if (protocol == TProtocol::Modbus) {
        plan.Flags = ModbusFlagWriteBytes(image);
        plan.Block = ModbusBlockWriteBytes(image);
    } else {
        plan.Standard = StandardRegisterWrites(image);
    }
    if (verify)
        plan.Verify = image;
    return plan;
}

const std::vector<int>& SearchSpeeds()
{
    static const std::vector<int> speeds{9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
    return speeds;
}

const char* WorkerName(TOperationCode code)
{
    for (const TWorkerEntry& entry : OperationTable)
        if (entry.code == code)
            return entry.name;
    return "worker";
}

TOutcome RunOperation(TOperationContext& c)
{
    switch (c.Args().Code) {
    case TOperationCode::SwitchOn:
        return Command(c, "ON");
    case TOperationCode::SwitchOff:
        return Command(c, "OF");
    case TOperationCode::Configure:
        return Command(c, "SU");
    case TOperationCode::SaveToFlash:
        return Command(c, "FL");
    case TOperationCode::Latch:
        return Command(c, "FX");
    case TOperationCode::ReadLatch:
        return OneRequest(c, Requests::ReadLatched(*c.Args().Device, c.Protocol()));
    case TOperationCode::ReadLastResult:
        return OneRequest(c, Requests::ReadLast(*c.Args().Device, c.Protocol()));
    case TOperationCode::ReadParameters:
        return ReadParameters(c);
    case TOperationCode::Defaults:
        return Defaults(c);
    case TOperationCode::WriteParameters:
        return WriteParameters(c);
    case TOperationCode::StartStream:
        return StartStream(c);
    case TOperationCode::StopStream:
        return StopStream(c);
    case TOperationCode::ReadAllLatches:
        return ReadAllLatches(c);
    case TOperationCode::ReadSeveral:
        return ReadSeveral(c);
    case TOperationCode::Clone:
        return Clone(c);
    case TOperationCode::LatchAll:
        return LatchAll(c);
    case TOperationCode::Search:
        return Search(c);
    }
    return Done();
}
