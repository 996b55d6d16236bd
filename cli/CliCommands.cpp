// The commands of the command line: each over one bus object per port, each wait bounded.
#include "cli/CliCommands.h"
#include "Version.h"
#include "cli/CliHelp.h"
#include "cli/CliOutput.h"
#include "cli/CliSession.h"
#include "cli/CliText.h"
#include "cli/ExitCodes.h"
#include "params/ParamSet.h"
#include "params/ParamSetFile.h"
#include "protocol/DeviceList.h"
#include "protocol/DeviceUnit.h"
#include "protocol/Frames.h"
#include "serial/PortDetails.h"
#include "serial/PortScan.h"
#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <map>

namespace {
using C = TCliCommand;

// After the stream's stop is answered, a second without a sample shows that it stopped.
constexpr int StreamQuietMs = 1000;
constexpr int StreamStopAttempts = 3;

int Fail(const TCliFailure& failure)
{
    PrintError(failure.Message);
    return failure.Code;
}

QString ProtocolName(TProtocol protocol)
{
    return protocol == TProtocol::Modbus ? QStringLiteral("modbus") : QStringLiteral("standard");
}

QJsonValue ResultValueJson(const TResultOut& result)
{
    if (result.Kind == QLatin1String("out_of_range") || result.Kind == QLatin1String("no_result"))
        return QJsonValue::Null;
    return result.Value;
}

QString ResultText(const TResultOut& result)
{
    if (result.Kind == QLatin1String("out_of_range"))
        return Cli::tr("out of range");
    if (result.Kind == QLatin1String("no_result"))
        return Cli::tr("no result");
    if (result.Kind == QLatin1String("count"))
        return Cli::tr("%1 edges").arg(NumberText(result.Value));
    return Cli::tr("%1 mm").arg(NumberText(result.Value));
}

// ---- ports ----

int Ports(const TCliArgs& args)
{
    const PortScanResult scan = ScanSerialPorts();
    QJsonArray list;
    std::vector<QStringList> rows;
    const auto add = [&](const QString& path, bool denied) {
        const TPortDetails details = PortDetailsOf(path);
        QJsonValue usb = QJsonValue::Null;
        QString described;
        if (details.Usb) {
            usb = QJsonObject{{QStringLiteral("vendor_id"), details.VendorId},
                              {QStringLiteral("product_id"), details.ProductId},
                              {QStringLiteral("manufacturer"), details.Manufacturer},
                              {QStringLiteral("product"), details.Product},
                              {QStringLiteral("serial"), details.Serial},
                              {QStringLiteral("driver"), details.Driver}};
            described = QStringLiteral("%1:%2 %3 %4")
                            .arg(details.VendorId, details.ProductId, details.Manufacturer, details.Product)
                            .simplified();
            if (!details.Serial.isEmpty())
                described += Cli::tr(", serial %1").arg(details.Serial);
        }
        const QString access = denied ? QStringLiteral("denied") : QStringLiteral("ok");
        list.append(QJsonObject{{QStringLiteral("path"), path},
                                {QStringLiteral("access"), access},
                                {QStringLiteral("driver"), details.Driver},
                                {QStringLiteral("usb"), usb}});
        rows.push_back({path, denied ? Cli::tr("denied") : Cli::tr("ok"), details.Driver, described});
    };
    for (const QString& path : scan.ports)
        add(path, false);
    for (const QString& path : scan.denied)
        add(path, true);
    if (args.Json)
        PrintJson({{QStringLiteral("ports"), list}});
    else if (rows.empty())
        PrintOut(Cli::tr("No serial ports.") + QLatin1Char('\n'));
    else
        PrintTable({Cli::tr("PORT"), Cli::tr("ACCESS"), Cli::tr("DRIVER"), Cli::tr("USB ADAPTER")}, rows);
    return ExitCode::Success;
}

// ---- search and inventory ----

QJsonArray SensorsJson(TCliSession& session)
{
    QJsonArray sensors;
    const TDeviceList& devices = session.Bus().Devices();
    for (int i = 0; i < devices.Count(); ++i)
        sensors.append(SensorJson(*devices.At(i), session.PortName(), session.Bus().Protocol()));
    return sensors;
}

void AddSensorRows(TCliSession& session, std::vector<QStringList>& rows)
{
    const TDeviceList& devices = session.Bus().Devices();
    for (int i = 0; i < devices.Count(); ++i)
        rows.push_back(SensorRow(*devices.At(i), session.PortName()));
}

int Search(const TCliArgs& args, TInterrupt& interrupt)
{
    TCliSession session(args, args.Port, interrupt);
    TCliFailure failure;
    if (!session.Prepare(failure))
        return Fail(failure);
    const TOutcome outcome = session.Search(1, args.Bound, session.CommandSpeeds(), failure);
    if (outcome.Kind == TOutcomeKind::Failed)
        return Fail(failure);
    if (args.Json) {
        PrintJson({{QStringLiteral("port"), session.PortName()},
                   {QStringLiteral("protocol"), ProtocolName(args.Protocol)},
                   {QStringLiteral("sensors"), SensorsJson(session)}});
    } else if (session.Bus().Devices().Count() > 0) {
        std::vector<QStringList> rows;
        AddSensorRows(session, rows);
        PrintTable(SensorHeader(), rows);
    }
    return outcome.Kind == TOutcomeKind::Done ? ExitCode::Success : Fail(failure);
}

int Inventory(const TCliArgs& args, TInterrupt& interrupt)
{
    std::vector<std::unique_ptr<TCliSession>> sessions;
    std::vector<std::optional<TOutcome>> outcomes(static_cast<std::size_t>(args.Ports.size()));
    std::vector<TCliFailure> failures(static_cast<std::size_t>(args.Ports.size()));
    QEventLoop loop;
    const auto allDone = [&] {
        for (std::size_t i = 0; i < sessions.size(); ++i)
            if (!outcomes[i] && failures[i].Code == 0)
                return false;
        return true;
    };
    for (const QString& port : args.Ports) {
        const std::size_t index = sessions.size();
        sessions.push_back(std::make_unique<TCliSession>(args, port, interrupt));
        TCliSession& session = *sessions.back();
        QObject::connect(&session.Bus(), &TSensorBus::OperationFinished, &loop,
                         [&, index](TOperationCode, const TOutcome& outcome) {
                             outcomes[index] = outcome;
                             if (allDone())
                                 loop.quit();
                         });
        if (session.Prepare(failures[index]))
            session.StartSearch(1, args.Bound, session.CommandSpeeds(), failures[index]);
    }
    bool interrupted = false;
    QObject::connect(&interrupt, &TInterrupt::Raised, &loop, [&] {
        interrupted = true;
        loop.quit();
    });
    // Each bus's watchdogs end its search; this bound only guards against a report lost.
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    bound.start(sessions.empty() ? 0 : sessions.front()->BoundMs(true));
    if (!allDone())
        loop.exec();

    QJsonArray ports;
    QJsonArray all;
    std::vector<QStringList> rows;
    int code = ExitCode::Success;
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        TCliSession& session = *sessions[i];
        TCliFailure failure = failures[i];
        if (failure.Code == 0)
            failure = session.FailureOf(
                outcomes[i].value_or(OutcomeOf(interrupted ? TOutcomeKind::Stopped : TOutcomeKind::Timeout)),
                session.PortName());
        const QJsonArray sensors = SensorsJson(session);
        for (const QJsonValue& sensor : sensors)
            all.append(sensor);
        AddSensorRows(session, rows);
        ports.append(
            QJsonObject{{QStringLiteral("port"), session.PortName()},
                        {QStringLiteral("sensors"), sensors},
                        {QStringLiteral("error"), failure.Code ? QJsonValue(failure.Message) : QJsonValue()},
                        {QStringLiteral("exit_code"), failure.Code}});
        if (failure.Code) {
            PrintError(failure.Message);
            code = std::max(code, failure.Code);
        }
    }
    if (args.Json)
        PrintJson({{QStringLiteral("ports"), ports}, {QStringLiteral("sensors"), all}});
    else if (!rows.empty())
        PrintTable(SensorHeader(), rows);
    return code;
}

// ---- one sensor ----

// The session of a one-sensor command with its sensor found.
struct TTarget {
    TTarget(const TCliArgs& args, TInterrupt& interrupt) : session(args, args.Port, interrupt) {}
    TCliSession session;
    TDevice* device = nullptr;
    TCliFailure failure;

    bool Find() { return session.Prepare(failure) && (device = session.Locate(failure)) != nullptr; }
    QString Name() const { return session.SensorName(*device); }
    QJsonObject Sensor() { return SensorJson(*device, session.PortName(), session.Bus().Protocol()); }
    // Runs one operation on the sensor; false with the failure set when it did not succeed.
    bool Run(TOperationCode code)
    {
        const TOutcome outcome = session.Run([&](TSensorBus& bus) { return bus.Start(code, device); });
        failure = session.FailureOf(outcome, Name());
        return outcome.Kind == TOutcomeKind::Done;
    }
};

TParamSet SetOf(const TDevice& device, TProtocol protocol)
{
    TParamSet set;
    set.Sensor = IdentityOf(device, protocol);
    set.Saved = QDateTime::currentDateTimeUtc();
    set.Program = ProgramName();
    // What the sensor holds, as it holds it: the page's texts follow from the registers.
    set.Registers = ImageOf(device);
    set.Page = ParamTextsOf(set.Registers);
    return set;
}

QString ItemText(const QStringList& items, int index)
{
    return index >= 0 && index < items.size() ? items[index] : QString();
}

// The page's text of a parameter, where a row or option group shows it.
QString ShownText(const TParamTexts& page, TParam param)
{
    for (int row = 0; row < ParamRowCount; ++row)
        if (ParamRows()[row].Param == param)
            return page.rows[static_cast<std::size_t>(row)];
    switch (param) {
    case TParam::DiscreetExit:
        return QStringLiteral("%1 / %2").arg(ItemText(DiscreteOutputTexts(), page.radio1),
                                             ItemText(DiscreteOutputTexts(), page.radio2));
    case TParam::ResultComputation:
        return ItemText(ResultComputationTexts(), page.radio6);
    case TParam::ObjectType:
        return ItemText(ObjectTypeTexts(), page.radio5);
    default:
        return QString();
    }
}

int Read(const TCliArgs& args, TInterrupt& interrupt)
{
    TTarget target(args, interrupt);
    if (!target.Find() || !target.Run(TOperationCode::ReadParameters))
        return Fail(target.failure);
    const TParamSet set = SetOf(*target.device, args.Protocol);
    if (!args.Output.isEmpty()) {
        QString error;
        if (!WriteParamSet(set, args.Output, &error))
            return Fail({ExitCode::File, error});
    }
    if (args.Json) {
        PrintOut(QString::fromUtf8(ParamSetJson(set)));
    } else if (!args.Output.isEmpty()) {
        PrintOut(Cli::tr("%1: parameters saved to %2").arg(target.Name(), args.Output) + QLatin1Char('\n'));
    } else {
        std::vector<QStringList> rows;
        for (int param = 0; param < ParamCount; ++param) {
            const TParam p = static_cast<TParam>(param);
            rows.push_back({RegisterName(p), QString::number(set.Registers[static_cast<std::size_t>(param)]),
                            ShownText(set.Page, p)});
        }
        rows.push_back({QStringLiteral("OutputPeriod"), QString(), set.Page.rows[ParamRow::OutputPeriod]});
        PrintOut(Cli::tr("%1: model %2, serial number %3")
                     .arg(target.Name(), set.Sensor.Model)
                     .arg(set.Sensor.Serial) +
                 QLatin1Char('\n'));
        PrintTable({Cli::tr("PARAMETER"), Cli::tr("RAW"), Cli::tr("SHOWN AS")}, rows);
    }
    return ExitCode::Success;
}

// The parameters that differ with their raw values: expected, then actual.
QJsonArray DifferencesJson(const std::vector<TParam>& differing, const TParamImage& expected,
                           const TParamImage& actual)
{
    QJsonArray list;
    for (const TParam param : differing)
        list.append(QJsonObject{{QStringLiteral("parameter"), RegisterName(param)},
                                {QStringLiteral("expected"), expected[static_cast<std::size_t>(param)]},
                                {QStringLiteral("actual"), actual[static_cast<std::size_t>(param)]}});
    return list;
}

void PrintDifferences(const std::vector<TParam>& differing, const TParamImage& expected,
                      const TParamImage& actual, const QString& expectedName, const QString& actualName)
{
    const TParamTexts expectedTexts = ParamTextsOf(expected);
    const TParamTexts actualTexts = ParamTextsOf(actual);
    std::vector<QStringList> rows;
    for (const TParam param : differing) {
        const auto text = [&](const TParamImage& image, const TParamTexts& texts) {
            const QString shown = ShownText(texts, param);
            const QString raw = QString::number(image[static_cast<std::size_t>(param)]);
            return shown.isEmpty() || shown == raw ? raw : QStringLiteral("%1 (%2)").arg(raw, shown);
        };
        rows.push_back({RegisterName(param), text(expected, expectedTexts), text(actual, actualTexts)});
    }
    PrintTable({Cli::tr("PARAMETER"), expectedName, actualName}, rows);
}

// The parameter-set library names a missing file in the window's words; the command line's own
// message comes first.
TParamSetRead ReadSetFile(const QString& path)
{
    if (!QFileInfo::exists(path)) {
        TParamSetRead read;
        read.Error = Cli::tr("%1: no such file").arg(path);
        return read;
    }
    return ReadParamSet(path);
}

// The registers of the writes the sensor took: standard register codes, or the Modbus flag
// register and the first register of the parameter block.
QStringList WrittenRegisters(const TWritePlan& plan, TProtocol protocol, int written)
{
    QStringList codes;
    if (protocol == TProtocol::Modbus)
        return QStringList{QStringLiteral("0000"), QStringLiteral("0010")}.mid(0, written);
    for (int i = 0; i < written && i < static_cast<int>(plan.Standard.size()); ++i)
        codes << QString::fromLatin1(plan.Standard[static_cast<std::size_t>(i)].Register);
    return codes;
}

// The same for people.
QString WrittenText(const TWritePlan& plan, TProtocol protocol, int written)
{
    if (protocol == TProtocol::Modbus)
        return written > 1 ? Cli::tr("flag register and parameter block") : Cli::tr("flag register");
    return WrittenRegisters(plan, protocol, written).join(QLatin1Char(' '));
}

int Write(const TCliArgs& args, TInterrupt& interrupt)
{
    const TParamSetRead read = ReadSetFile(args.File);
    if (!read.Set)
        return Fail({ExitCode::File, read.Error});
    TTarget target(args, interrupt);
    if (!target.Find())
        return Fail(target.failure);
    const TSensorIdentity identity = IdentityOf(*target.device, args.Protocol);
    const QString mismatch = ModelMismatch(*read.Set, QFileInfo(args.File).fileName(), identity);
    if (!mismatch.isEmpty())
        return Fail({ExitCode::File, mismatch});
    const int address = args.SetAddress.value_or(identity.Address);
    const int speed = args.SetSpeed.value_or(identity.Speed);
    // Never two sensors at one address and speed: the place the sensor is to take must be free.
    if (address != identity.Address || speed != identity.Speed) {
        const std::optional<bool> taken = target.session.Answers(address, speed, target.failure);
        if (!taken)
            return Fail(target.failure);
        if (*taken)
            return Fail({ExitCode::Usage,
                         Cli::tr("%1: another sensor answers at address %2 at %3 baud")
                             .arg(target.session.PortName(), QString::fromLatin1(AddressText(address)))
                             .arg(speed)});
        // The check has emptied the sensor list: the sensor is looked for again.
        target.device = target.session.Locate(target.failure);
        if (!target.device)
            return Fail(target.failure);
    }
    const TParamImage image = ImageAt(read.Set->Registers, address, speed);
    const TWritePlan plan = WritePlanOfImage(image, address, speed, args.Protocol, args.Verify);
    const int total = args.Protocol == TProtocol::Modbus ? 2 : static_cast<int>(plan.Standard.size());
    const QString before = target.Name();
    const TOutcome outcome =
        target.session.Run([&](TSensorBus& bus) { return bus.StartWrite(target.device, plan); });
    const TParamImage actual = ImageOf(*target.device);
    const bool interrupted = outcome.Kind == TOutcomeKind::Stopped && target.session.Interrupted();
    if (args.Json)
        PrintJson({{QStringLiteral("sensor"), target.Sensor()},
                   {QStringLiteral("file"), args.File},
                   {QStringLiteral("verified"), outcome.Verified},
                   {QStringLiteral("written"), outcome.Written},
                   {QStringLiteral("total"), total},
                   {QStringLiteral("interrupted"), interrupted},
                   {QStringLiteral("written_registers"),
                    QJsonArray::fromStringList(WrittenRegisters(plan, args.Protocol, outcome.Written))},
                   {QStringLiteral("differing"), DifferencesJson(outcome.Differing, image, actual)}});
    if (interrupted) {
        const QString partial = outcome.Written == 0 ? Cli::tr("nothing was written")
                                : outcome.Written < total
                                    ? Cli::tr("the sensor holds a partial set (%1)")
                                          .arg(WrittenText(plan, args.Protocol, outcome.Written))
                                    : Cli::tr("not verified");
        return Fail({ExitCode::Interrupted, Cli::tr("%1: interrupted after %2 of %3 register writes: %4")
                                                .arg(before)
                                                .arg(outcome.Written)
                                                .arg(total)
                                                .arg(partial)});
    }
    if (outcome.Kind == TOutcomeKind::Differs) {
        if (!args.Json)
            PrintDifferences(outcome.Differing, image, actual, Cli::tr("WRITTEN"), Cli::tr("READ BACK"));
        QStringList names;
        for (const TParam param : outcome.Differing)
            names << RegisterName(param);
        return Fail({ExitCode::Mismatch, Cli::tr("%1: the read-back differs from what was written: %2")
                                             .arg(target.Name(), names.join(QLatin1String(", ")))});
    }
    if (outcome.Kind != TOutcomeKind::Done)
        return Fail(target.session.FailureOf(outcome, before));
    if (!args.Json)
        PrintOut((outcome.Verified ? Cli::tr("%1: %2 register writes, verified by reading back")
                                   : Cli::tr("%1: %2 register writes, not verified"))
                     .arg(target.Name())
                     .arg(outcome.Written) +
                 QLatin1Char('\n'));
    return ExitCode::Success;
}

int Compare(const TCliArgs& args, TInterrupt& interrupt)
{
    const TParamSetRead read = ReadSetFile(args.File);
    if (!read.Set)
        return Fail({ExitCode::File, read.Error});
    TTarget target(args, interrupt);
    if (!target.Find() || !target.Run(TOperationCode::ReadParameters))
        return Fail(target.failure);
    const TParamImage actual = ImageOf(*target.device);
    // A set goes onto a sensor at the sensor's own address and speed: those are not its content.
    std::vector<TParam> differing = ImageDifferences(read.Set->Registers, actual);
    std::erase_if(differing, [](TParam p) { return p == TParam::Address || p == TParam::Uart; });
    if (args.Json)
        PrintJson({{QStringLiteral("sensor"), target.Sensor()},
                   {QStringLiteral("file"), args.File},
                   {QStringLiteral("differing"), DifferencesJson(differing, read.Set->Registers, actual)}});
    if (differing.empty()) {
        if (!args.Json)
            PrintOut(Cli::tr("%1: no differences from %2").arg(target.Name(), args.File) + QLatin1Char('\n'));
        return ExitCode::Success;
    }
    if (!args.Json)
        PrintDifferences(differing, read.Set->Registers, actual, Cli::tr("FILE"), Cli::tr("SENSOR"));
    return Fail({ExitCode::Mismatch, Cli::tr("%1: %2 parameters differ from %3")
                                         .arg(target.Name())
                                         .arg(differing.size())
                                         .arg(args.File)});
}

int Simple(const TCliArgs& args, TInterrupt& interrupt)
{
    struct TEntry {
        C Command;
        TOperationCode Code;
        const char* Done;
    };
    static const TEntry entries[] = {
        {C::Defaults, TOperationCode::Defaults, QT_TRANSLATE_NOOP("Cli", "factory parameters restored")},
        {C::Flash, TOperationCode::SaveToFlash, QT_TRANSLATE_NOOP("Cli", "parameters saved to flash")},
        {C::On, TOperationCode::SwitchOn, QT_TRANSLATE_NOOP("Cli", "switched on")},
        {C::Off, TOperationCode::SwitchOff, QT_TRANSLATE_NOOP("Cli", "switched off")},
        {C::Configure, TOperationCode::Configure, QT_TRANSLATE_NOOP("Cli", "configuration command done")},
    };
    const auto entry = std::find_if(std::begin(entries), std::end(entries),
                                    [&](const TEntry& e) { return e.Command == args.Command; });
    TTarget target(args, interrupt);
    if (!target.Find() || !target.Run(entry->Code))
        return Fail(target.failure);
    if (args.Json)
        PrintJson({{QStringLiteral("sensor"), target.Sensor()},
                   {QStringLiteral("command"), CommandName(args.Command)},
                   {QStringLiteral("done"), true}});
    else
        PrintOut(QStringLiteral("%1: %2\n").arg(target.Name(), Cli::tr(entry->Done)));
    return ExitCode::Success;
}

// ---- results ----

QJsonObject ResultJson(const QJsonObject& sensor, const TResultField& field, double range)
{
    const TResultOut result = ResultOf(field, range);
    return {{QStringLiteral("sensor"), sensor},
            {QStringLiteral("raw"), field.Raw},
            {QStringLiteral("value"), ResultValueJson(result)},
            {QStringLiteral("kind"), result.Kind}};
}

int Result(const TCliArgs& args, TInterrupt& interrupt)
{
    TTarget target(args, interrupt);
    if (!target.Find())
        return Fail(target.failure);
    const TReplyEvent wanted =
        args.Command == C::Latch ? TReplyEvent::LatchedResultRead : TReplyEvent::LastResultRead;
    std::optional<TResultField> field;
    QObject::connect(&target.session.Bus(), &TSensorBus::SensorReplied, &target.session,
                     [&](TDevice*, const TReplyNote& note) {
                         if (note.Event == wanted)
                             field = note.Result;
                     });
    const bool done = args.Command == C::Latch
                          ? target.Run(TOperationCode::Latch) && target.Run(TOperationCode::ReadLatch)
                          : target.Run(TOperationCode::ReadLastResult);
    if (!done || !field)
        return Fail(done
                        ? TCliFailure{ExitCode::Internal, Cli::tr("%1: no result decoded").arg(target.Name())}
                        : target.failure);
    if (args.Json)
        PrintJson(ResultJson(target.Sensor(), *field, target.device->ID_D));
    else
        PrintOut(
            QStringLiteral("%1: %2\n").arg(target.Name(), ResultText(ResultOf(*field, target.device->ID_D))));
    return ExitCode::Success;
}

int LatchAll(const TCliArgs& args, TInterrupt& interrupt)
{
    TCliSession session(args, args.Port, interrupt);
    TCliFailure failure;
    if (!session.Prepare(failure))
        return Fail(failure);
    if (session.Search(1, args.Bound, session.CommandSpeeds(), failure).Kind != TOutcomeKind::Done)
        return Fail(failure);
    TSensorBus& bus = session.Bus();
    std::vector<int> speeds;
    for (int i = 0; i < bus.Devices().Count(); ++i) {
        const int speed = bus.Devices().At(i)->ComPortSpeed.load();
        if (std::find(speeds.begin(), speeds.end(), speed) == speeds.end())
            speeds.push_back(speed);
    }
    std::map<TDevice*, TResultField> results;
    QObject::connect(&bus, &TSensorBus::SensorReplied, &session,
                     [&](TDevice* device, const TReplyNote& note) {
                         if (note.Event == TReplyEvent::LatchedResultRead)
                             results[device] = note.Result;
                     });
    TDevice* const first = bus.Devices().At(0);
    TOutcome outcome = session.Run([&](TSensorBus& b) { return b.StartLatchAll(speeds, first); });
    if (outcome.Kind == TOutcomeKind::Done)
        outcome = session.Run([&](TSensorBus& b) { return b.StartReadAllLatches(first); });
    QJsonArray list;
    std::vector<QStringList> rows;
    for (int i = 0; i < bus.Devices().Count(); ++i) {
        TDevice* const device = bus.Devices().At(i);
        const auto found = results.find(device);
        if (found == results.end())
            continue;
        list.append(
            ResultJson(SensorJson(*device, session.PortName(), args.Protocol), found->second, device->ID_D));
        QStringList row = SensorRow(*device, session.PortName()).mid(0, 4);
        row << ResultText(ResultOf(found->second, device->ID_D));
        rows.push_back(row);
    }
    if (args.Json)
        PrintJson({{QStringLiteral("results"), list}});
    else if (!rows.empty())
        PrintTable(SensorHeader().mid(0, 4) << Cli::tr("LATCHED RESULT"), rows);
    return outcome.Kind == TOutcomeKind::Done ? ExitCode::Success
                                              : Fail(session.FailureOf(outcome, session.PortName()));
}

// ---- the stream ----

// The receive time of a chunk as UTC wall-clock time with microseconds.
class TStamp {
  public:
    QString Of(std::chrono::steady_clock::time_point at) const
    {
        const auto wall = std::chrono::duration_cast<std::chrono::microseconds>(
            (at - steady_) + (wall_ - std::chrono::system_clock::time_point{}));
        const qint64 us = wall.count();
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(us / 1000, Qt::UTC);
        return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.")) +
               QStringLiteral("%1Z").arg(us % 1'000'000, 6, 10, QLatin1Char('0'));
    }

  private:
    std::chrono::steady_clock::time_point steady_ = std::chrono::steady_clock::now();
    std::chrono::system_clock::time_point wall_ = std::chrono::system_clock::now();
};

int Stream(const TCliArgs& args, TInterrupt& interrupt)
{
    TTarget target(args, interrupt);
    if (!target.Find())
        return Fail(target.failure);
    TSensorBus& bus = target.session.Bus();
    const TStamp stamp;
    const double range = target.device->ID_D;
    if (!args.Json)
        PrintOut(QStringLiteral("received,raw,value,kind\n"));
    QEventLoop* waiting = nullptr;
    QObject::connect(
        &bus, &TSensorBus::StreamSamples, &target.session, [&](TDevice*, const TSampleBatch& batch) {
            const QString at = stamp.Of(batch.ReadAt);
            QString text;
            for (const TStreamSample& sample : batch.Samples) {
                QJsonValue raw = sample.Value;
                QJsonValue value;
                QString kind = QStringLiteral("invalid");
                if (sample.Valid) {
                    const TResultOut result =
                        ResultOf({static_cast<std::uint16_t>(sample.Value), sample.Count}, range);
                    kind = result.Kind;
                    value = ResultValueJson(result);
                } else {
                    raw = QJsonValue();
                }
                if (args.Json) {
                    const QJsonObject line{{QStringLiteral("received"), at},
                                           {QStringLiteral("raw"), raw},
                                           {QStringLiteral("value"), value},
                                           {QStringLiteral("kind"), kind}};
                    text += QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact)) +
                            QLatin1Char('\n');
                } else {
                    text += QStringLiteral("%1,%2,%3,%4\n")
                                .arg(at, raw.isNull() ? QString() : QString::number(raw.toInt()),
                                     value.isNull() ? QString() : NumberText(value.toDouble()), kind);
                }
            }
            PrintOut(text);
            // A reader that has gone, as `| head` does, ends the stream as Ctrl+C would.
            if (OutputClosed() && waiting)
                waiting->quit();
        });
    if (!target.Run(TOperationCode::StartStream))
        return Fail(target.failure);

    // Until the time is up or Ctrl+C; the stream is stopped cleanly either way.
    {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&interrupt, &TInterrupt::Raised, &loop, &QEventLoop::quit);
        if (args.Seconds > 0)
            timer.start(static_cast<int>(args.Seconds * 1000));
        waiting = &loop;
        if (interrupt.Count() == 0 && !OutputClosed())
            loop.exec();
        waiting = nullptr;
    }
    const int interruptsBefore = interrupt.Count();
    const auto interrupted = [&] {
        return Fail(
            {ExitCode::Interrupted, Cli::tr("%1: interrupted while the stream stops").arg(target.Name())});
    };
    for (int attempt = 0; attempt < StreamStopAttempts; ++attempt) {
        if (!target.Run(TOperationCode::StopStream))
            continue;
        bus.SetStreamQuiet(true);
        QEventLoop loop;
        QTimer::singleShot(StreamQuietMs, &loop, &QEventLoop::quit);
        QObject::connect(&interrupt, &TInterrupt::Raised, &loop, &QEventLoop::quit);
        loop.exec();
        if (interrupt.Count() > interruptsBefore)
            return interrupted();
        if (bus.StreamQuiet()) {
            bus.StreamEnded();
            return ExitCode::Success;
        }
    }
    if (target.session.Interrupted())
        return interrupted();
    return Fail({ExitCode::NoReply, Cli::tr("%1: the sensor does not stop its stream").arg(target.Name())});
}

} // namespace

int RunCommand(const TCliArgs& args, TInterrupt& interrupt)
{
    if (args.Command == C::Version) {
        PrintOut(QStringLiteral("veltrano-cli " VELTRANO_VERSION "\n"));
        return ExitCode::Success;
    }
    if (args.Help || args.Command == C::Help) {
        PrintOut(HelpText(args.Command == C::Help ? args.HelpTopic : std::optional(args.Command)));
        return ExitCode::Success;
    }
    switch (args.Command) {
    case C::Ports:
        return Ports(args);
    case C::Search:
        return Search(args, interrupt);
    case C::Inventory:
        return Inventory(args, interrupt);
    case C::Read:
        return Read(args, interrupt);
    case C::Write:
        return Write(args, interrupt);
    case C::Compare:
        return Compare(args, interrupt);
    case C::Defaults:
    case C::Flash:
    case C::On:
    case C::Off:
    case C::Configure:
        return Simple(args, interrupt);
    case C::Latch:
        return args.All ? LatchAll(args, interrupt) : Result(args, interrupt);
    case C::Result:
        return Result(args, interrupt);
    case C::Stream:
        return Stream(args, interrupt);
    case C::Help:
    case C::Version:
        break;
    }
    return ExitCode::Internal;
}
