#include "cli/CliSession.h"
#include "cli/CliText.h"
#include "cli/ExitCodes.h"
#include "convert/Unit_Utils.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "protocol/Frames.h"
#include "serial/PortScan.h"
#include "serial/TCommPortDriver.h"
#include "sim/DemoBus.h"
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
const QString DemoPort = QStringLiteral("DEMO");
// What the bus needs beyond its own watchdogs to report: the worker's end and the queued report.
constexpr int ReportMarginMs = 5000;
// Operations launched back to back stay apart by a pause of the bus's; waiting for it is bounded.
constexpr int IdleWaitMs = 2000;
// A search probes each address for 100 times the probe pause at most, in each of its eight passes
// at most and in the identification.
constexpr int SearchWatchdogFactor = 100;
constexpr int SearchSteps = 9;

QString ExceptionName(int code)
{
    switch (code) {
    case 1:
        return Cli::tr("illegal function");
    case 2:
        return Cli::tr("illegal data address");
    case 3:
        return Cli::tr("illegal data value");
    case 4:
        return Cli::tr("sensor failure");
    case 5:
        return Cli::tr("acknowledge");
    case 6:
        return Cli::tr("sensor busy");
    default:
        return Cli::tr("unknown exception");
    }
}

QString OpenErrorText(int error, const QString& path)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return Cli::tr("no such port");
    case EBUSY:
        return Cli::tr("the port is busy: another program holds it");
    case EACCES:
    case EPERM:
        return Cli::tr("permission denied: add the user to the group that owns %1 (usually dialout)")
            .arg(path);
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}
} // namespace

void TInterrupt::Raise()
{
    emit Raised(++count_);
}

TCliSession::TCliSession(const TCliArgs& args, const QString& port, TInterrupt& interrupt)
    : args_(args), portName_(port), interrupt_(interrupt)
{
    bus_.SetProtocol(args.Protocol);
    bus_.SetWatchdogTime(args.TimeoutMs);
    bus_.SetProbeDelay(args.DelayMs);
}

TCliSession::~TCliSession()
{
    bus_.Shutdown();
}

bool TCliSession::Prepare(TCliFailure& failure)
{
    if (portName_.compare(DemoPort, Qt::CaseInsensitive) == 0) {
        demo_ = std::make_unique<SimDemoBus>();
        QString error;
        if (!demo_->start(&error)) {
            failure = {ExitCode::Port,
                       Cli::tr("%1: the demonstration bus does not start: %2").arg(DemoPort, error)};
            return false;
        }
        devicePath_ = demo_->slavePath();
        portName_ = DemoPort;
        return true;
    }
    try {
        devicePath_ = ChoiceCOM(portName_);
    } catch (const EConvertError&) {
        failure = {ExitCode::Usage, Cli::tr("%1: not a port name").arg(portName_)};
        return false;
    }
    return true;
}

bool TCliSession::WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    const auto check = [&] {
        if (condition() || interrupted_)
            loop.quit();
    };
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&bus_, &TSensorBus::Idle, &loop, check);
    connect(&bus_, &TSensorBus::OperationFinished, &loop, check);
    connect(&interrupt_, &TInterrupt::Raised, &loop, [&] {
        interrupted_ = true;
        loop.quit();
    });
    timer.start(timeoutMs);
    loop.exec();
    return condition();
}

TOutcome TCliSession::Run(const std::function<bool(TSensorBus&)>& launch)
{
    if (interrupted_)
        return OutcomeOf(TOutcomeKind::Stopped);
    if (!WaitFor([this] { return !bus_.Busy(); }, IdleWaitMs))
        return OutcomeOf(interrupted_ ? TOutcomeKind::Stopped : TOutcomeKind::Timeout);
    std::optional<TOutcome> outcome;
    std::optional<TOperationCode> code;
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    const QMetaObject::Connection started =
        connect(&bus_, &TSensorBus::OperationStarted, this, [&](TOperationCode c) { code = c; });
    const QMetaObject::Connection finished =
        connect(&bus_, &TSensorBus::OperationFinished, this, [&](TOperationCode, const TOutcome& o) {
            outcome = o;
            loop.quit();
        });
    const QMetaObject::Connection raised = connect(&interrupt_, &TInterrupt::Raised, this, [&](int count) {
        const bool writing = code == TOperationCode::WriteParameters || code == TOperationCode::Clone;
        interrupted_ = true;
        if (writing && count == 1) {
            // The register at hand finishes; the outcome then says how much the sensor took.
            bus_.StopWriteAfterCurrentRegister();
            return;
        }
        bus_.Shutdown();
        loop.quit();
    });
    connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    const bool launched = launch(bus_);
    if (launched && !outcome) {
        bound.start(BoundMs(code == TOperationCode::Search));
        loop.exec();
    }
    disconnect(started);
    disconnect(finished);
    disconnect(raised);
    if (!launched)
        return OutcomeOf(TOutcomeKind::Failed);
    if (outcome)
        return *outcome;
    bus_.Shutdown();
    return OutcomeOf(interrupted_ ? TOutcomeKind::Stopped : TOutcomeKind::Timeout);
}

std::vector<int> TCliSession::CommandSpeeds() const
{
    if (!TargetsOneSensor(args_.Command) || args_.All)
        return args_.Speeds;
    return args_.Speed ? std::vector<int>{*args_.Speed} : std::vector<int>{};
}

bool TCliSession::StartSearch(int first, int last, const std::vector<int>& speeds, TCliFailure& failure)
{
    TSearchParams params;
    params.Port = devicePath_;
    params.DelayMs = args_.DelayMs;
    params.First = first;
    params.Range = last;
    params.Speeds = speeds;
    if (bus_.StartSearch(params))
        return true;
    const int error = bus_.Driver().LastOpenError();
    failure = error != 0
                  ? TCliFailure{ExitCode::Port,
                                QStringLiteral("%1: %2").arg(portName_, OpenErrorText(error, devicePath_))}
                  : TCliFailure{ExitCode::Internal, Cli::tr("%1: the search does not start").arg(portName_)};
    return false;
}

TOutcome TCliSession::Search(int first, int last, const std::vector<int>& speeds, TCliFailure& failure)
{
    bool opened = true;
    const TOutcome outcome =
        Run([&](TSensorBus&) { return opened = StartSearch(first, last, speeds, failure); });
    if (!opened)
        return OutcomeOf(TOutcomeKind::Failed);
    if (outcome.Kind != TOutcomeKind::Done)
        failure = FailureOf(outcome, portName_);
    return outcome;
}

TDevice* TCliSession::Locate(TCliFailure& failure)
{
    const int address = *args_.Address;
    const TOutcome outcome = Search(address, address, CommandSpeeds(), failure);
    const QString sensor = SensorName(AddressText(address));
    if (outcome.Kind == TOutcomeKind::NotFound) {
        failure = {ExitCode::NoReply, args_.Speed
                                          ? Cli::tr("%1: no reply at %2 baud").arg(sensor).arg(*args_.Speed)
                                          : Cli::tr("%1: no reply at any line speed").arg(sensor)};
        return nullptr;
    }
    if (outcome.Kind == TOutcomeKind::Timeout) {
        failure = {ExitCode::NoReply,
                   Cli::tr("%1: answered the search but not its identification").arg(sensor)};
        return nullptr;
    }
    // A port that did not open keeps its own message; anything else concerns the sensor.
    if (outcome.Kind != TOutcomeKind::Done) {
        if (outcome.Kind != TOutcomeKind::Failed)
            failure = FailureOf(outcome, sensor);
        return nullptr;
    }
    const TDeviceList& devices = bus_.Devices();
    if (devices.Count() > 1) {
        QStringList speeds;
        for (int i = 0; i < devices.Count(); ++i)
            speeds << QString::number(devices.At(i)->ComPortSpeed.load());
        failure = {ExitCode::Usage, Cli::tr("%1: sensors answer at %2 baud: choose one with --speed")
                                        .arg(sensor, speeds.join(QLatin1String(", ")))};
        return nullptr;
    }
    TDevice* const device = devices.At(0);
    if (!WaitFor([this] { return !bus_.Busy(); }, IdleWaitMs) ||
        !bus_.SetLineSpeed(device->ComPortSpeed.load())) {
        failure = interrupted_ ? FailureOf(OutcomeOf(TOutcomeKind::Stopped), sensor)
                               : TCliFailure{ExitCode::Port,
                                             Cli::tr("%1: the line speed cannot be set").arg(portName_)};
        return nullptr;
    }
    return device;
}

QString TCliSession::SensorName(const TDevice& device) const
{
    return SensorName(device.AdressStr.load());
}

QString TCliSession::SensorName(const QByteArray& addressText) const
{
    return Cli::tr("%1, sensor %2").arg(portName_, QString::fromLatin1(addressText));
}

int TCliSession::BoundMs(bool search) const
{
    const int searchMs =
        search ? SearchSteps * (args_.Bound + 1) * bus_.ProbePauseMs() * SearchWatchdogFactor : 0;
    return searchMs + 3 * args_.TimeoutMs + ReportMarginMs;
}

TCliFailure TCliSession::FailureOf(const TOutcome& outcome, const QString& name) const
{
    const int timeoutMs = args_.TimeoutMs;
    switch (outcome.Kind) {
    case TOutcomeKind::Done:
        return {};
    case TOutcomeKind::Timeout:
        return {ExitCode::NoReply, Cli::tr("%1: no reply within %2 ms").arg(name).arg(timeoutMs)};
    case TOutcomeKind::PortLost:
        return {ExitCode::Port, Cli::tr("%1: the port was lost (adapter unplugged?)").arg(name)};
    case TOutcomeKind::Refused:
        return {ExitCode::Refused, Cli::tr("%1: refused with Modbus exception %2 (%3)")
                                       .arg(name)
                                       .arg(outcome.ExceptionCode, 2, 16, QLatin1Char('0'))
                                       .arg(ExceptionName(outcome.ExceptionCode))};
    case TOutcomeKind::Stopped:
        return {ExitCode::Interrupted, Cli::tr("%1: interrupted").arg(name)};
    case TOutcomeKind::NotFound:
        return {ExitCode::NoReply, Cli::tr("%1: no sensor answered").arg(name)};
    case TOutcomeKind::Failed:
        return {ExitCode::Internal, Cli::tr("%1: the request could not be built").arg(name)};
    case TOutcomeKind::Differs:
        return {ExitCode::Mismatch, Cli::tr("%1: the sensor holds other values than were written").arg(name)};
    }
    return {ExitCode::Internal, name};
}

std::optional<bool> TCliSession::Answers(int address, int speed, TCliFailure& failure)
{
    // A request to that address is owed its answer within the whole timeout; a search probe's
    // short pause can miss a sensor held back by load, and the move would then put two sensors
    // at one address.
    bus_.Devices().Clear();
    TDevice* const record = bus_.Devices().Append(AddressText(address), speed);
    if (!record || !bus_.SetLineSpeed(speed)) {
        failure = {ExitCode::Port, Cli::tr("%1: the line speed cannot be set").arg(portName_)};
        return std::nullopt;
    }
    const TOutcome outcome =
        Run([record](TSensorBus& bus) { return bus.Start(TOperationCode::ReadLastResult, record); });
    // A Modbus exception is an answer too.
    if (outcome.Kind == TOutcomeKind::Done || outcome.Kind == TOutcomeKind::Refused)
        return true;
    if (outcome.Kind == TOutcomeKind::Timeout)
        return false;
    failure = FailureOf(outcome, SensorName(AddressText(address)));
    return std::nullopt;
}
