#include "params/ParamSetFile.h"
#include "Version.h"
#include "params/ParamValidation.h"
#include "params/SaveWhole.h"
#include "protocol/DeviceUnit.h"
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <array>
#include <cmath>

namespace {

// The names of the registers in the file, in TParam order.
constexpr std::array<const char*, ParamCount> RegisterNames{
    "Address",
    "GaugeOnOff",
    "AnalogExit",
    "ThreadOnOff",
    "Synhro",
    "ByteFormat",
    "Uart",
    "Period",
    "Constant",
    "Time",
    "TypeData",
    "MiddlePoint",
    "MedianPoint",
    "LowLevelAnalogExit",
    "HighLevelAnalogExit",
    "DiscreetExit",
    "FirstDiffFirstDiscreetExit",
    "SecondDiffFirstDiscreetExit",
    "FirstDiffSecondDiscreetExit",
    "SecondDiffSecondDiscreetExit",
    "ResultComputation",
    "ObjectType",
    "Correction",
    "CorrectionSign",
};

// The four option groups of the page: their key in the file and their caption.
struct TGroup {
    const char* Key;
    const char* Caption;
    int TParamTexts::*Index;
    const QStringList& (*Items)();
};
const std::array<TGroup, 4>& Groups()
{
    static const std::array<TGroup, 4> groups{{
        {"firstOutput", "Первый дискретный выход", &TParamTexts::radio1, &DiscreteOutputTexts},
        {"secondOutput", "Второй дискретный выход", &TParamTexts::radio2, &DiscreteOutputTexts},
        {"resultComputation", "Способ вычисления результата", &TParamTexts::radio6, &ResultComputationTexts},
        {"objectType", "Тип объекта", &TParamTexts::radio5, &ObjectTypeTexts},
    }};
    return groups;
}

QString FieldError(const QString& fileName, const QString& field)
{
    return QStringLiteral("В файле \"%1\" неверно указано поле \"%2\"!").arg(fileName, field);
}

QString RegisterMismatch(const QString& fileName, const QString& part)
{
    return QStringLiteral("Файл \"%1\", параметр \"%2\": значение не совпадает со значением регистров!")
        .arg(fileName, part);
}

TParamSetRead Failed(const QString& message, int row = -1)
{
    TParamSetRead read;
    read.Error = message;
    read.Row = row;
    return read;
}

} // namespace

QString ParamPartName(TParam param)
{
    for (int row = 0; row < ParamRowCount; ++row)
        if (ParamRows()[row].Param == param)
            return ParamRows()[row].Caption;
    switch (param) {
    case TParam::DiscreetExit:
        return QStringLiteral("Настройка дискретных выходов");
    case TParam::ResultComputation:
        return QString::fromUtf8(Groups()[2].Caption);
    case TParam::ObjectType:
        return QString::fromUtf8(Groups()[3].Caption);
    case TParam::CorrectionSign:
        return ParamRows()[ParamRow::Correz].Caption;
    default:
        return RegisterName(param);
    }
}

QString RegisterName(TParam param)
{
    return QString::fromLatin1(RegisterNames[static_cast<std::size_t>(param)]);
}

namespace {

QString PartName(const TParamCheck& check)
{
    switch (check.Focus) {
    case TParamFocus::Grid:
        return ParamRows()[check.Row].Caption;
    case TParamFocus::RadioGroup1:
        return QString::fromUtf8(Groups()[0].Caption);
    case TParamFocus::RadioGroup2:
        return QString::fromUtf8(Groups()[1].Caption);
    case TParamFocus::RadioGroup6:
        return QString::fromUtf8(Groups()[2].Caption);
    default:
        return QString::fromUtf8(Groups()[3].Caption);
    }
}

std::optional<qint64> Integer(const QJsonValue& value, qint64 min, qint64 max)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (std::floor(number) != number || number < static_cast<double>(min) ||
        number > static_cast<double>(max))
        return std::nullopt;
    return static_cast<qint64>(number);
}

// Periods are shown with the locale's decimal separator; a file from another locale is read as
// the page would show it here.
QString WithLocaleSeparator(int row, const QString& text)
{
    if (row != ParamRow::Period && row != ParamRow::OutputPeriod)
        return text;
    QString local = text;
    const QString point = QLocale().decimalPoint();
    local.replace(QLatin1Char('.'), point).replace(QLatin1Char(','), point);
    return local;
}

std::optional<TSensorIdentity> SensorOf(const QJsonObject& sensor)
{
    TSensorIdentity identity;
    const QJsonValue model = sensor.value(QStringLiteral("model"));
    const auto serial = Integer(sensor.value(QStringLiteral("serial")), INT32_MIN, INT32_MAX);
    const auto address = Integer(sensor.value(QStringLiteral("address")), 0, 255);
    const auto speed = Integer(sensor.value(QStringLiteral("speed")), 0, 10'000'000);
    const QString protocol = sensor.value(QStringLiteral("protocol")).toString();
    const QJsonValue range = sensor.value(QStringLiteral("range"));
    const QJsonValue distance = sensor.value(QStringLiteral("distance"));
    if (!model.isString() || !serial || !address || !speed || !range.isDouble() || !distance.isDouble() ||
        (protocol != QLatin1String("standard") && protocol != QLatin1String("modbus")))
        return std::nullopt;
    identity.Model = model.toString();
    identity.Serial = static_cast<std::int32_t>(*serial);
    identity.Address = static_cast<int>(*address);
    identity.Speed = static_cast<int>(*speed);
    identity.Protocol = protocol == QLatin1String("modbus") ? TProtocol::Modbus : TProtocol::Standard;
    identity.Range = range.toDouble();
    identity.Distance = distance.toDouble();
    return identity;
}

} // namespace

TSensorIdentity IdentityOf(const TDevice& record, TProtocol protocol)
{
    TSensorIdentity identity;
    identity.Model = QString::fromLatin1(record.Model).trimmed();
    identity.Serial = record.SerialNumber;
    identity.Address = record.AddressNumber();
    identity.Speed = record.ComPortSpeed.load();
    identity.Protocol = protocol;
    identity.Range = record.ID_D;
    identity.Distance = record.ID_M;
    return identity;
}

QString ProgramName()
{
    return QStringLiteral("Veltrano " VELTRANO_VERSION);
}

QString SensorName(const TSensorIdentity& sensor)
{
    const QString model = sensor.Model.isEmpty() ? QStringLiteral("без модели") : sensor.Model;
    return QStringLiteral("%1 № %2, адрес %3").arg(model).arg(sensor.Serial).arg(sensor.Address);
}

TParamSet ParamSetOf(const TParamTexts& page, const TSensorIdentity& sensor, const QString& program)
{
    TParamSet set;
    set.Sensor = sensor;
    set.Saved = QDateTime::currentDateTimeUtc();
    set.Program = program;
    set.Page = page;
    set.Registers = ImageFromPage(page, TProtocol::Modbus, nullptr);
    // The derived row is never written: it is kept as the registers give it, whatever the page
    // showed before its last recalculation.
    set.Page.rows[ParamRow::OutputPeriod] = ParamTextsOf(set.Registers).rows[ParamRow::OutputPeriod];
    return set;
}

QByteArray ParamSetJson(const TParamSet& set)
{
    QJsonObject sensor{
        {QStringLiteral("model"), set.Sensor.Model},
        {QStringLiteral("serial"), set.Sensor.Serial},
        {QStringLiteral("address"), set.Sensor.Address},
        {QStringLiteral("speed"), set.Sensor.Speed},
        {QStringLiteral("protocol"),
         set.Sensor.Protocol == TProtocol::Modbus ? QStringLiteral("modbus") : QStringLiteral("standard")},
        {QStringLiteral("range"), set.Sensor.Range},
        {QStringLiteral("distance"), set.Sensor.Distance},
    };
    QJsonArray rows;
    for (int row = 0; row < ParamRowCount; ++row)
        rows.append(QJsonObject{{QStringLiteral("name"), ParamRows()[row].Caption},
                                {QStringLiteral("text"), set.Page.rows[static_cast<std::size_t>(row)]}});
    QJsonObject groups;
    for (const TGroup& group : Groups())
        groups.insert(QLatin1String(group.Key), set.Page.*group.Index);
    QJsonObject registers;
    for (int param = 0; param < ParamCount; ++param)
        registers.insert(QLatin1String(RegisterNames[static_cast<std::size_t>(param)]),
                         set.Registers[static_cast<std::size_t>(param)]);
    const QJsonObject root{
        {QStringLiteral("format"), ParamSetFormat},
        {QStringLiteral("program"), set.Program},
        {QStringLiteral("saved"), set.Saved.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("sensor"), sensor},
        {QStringLiteral("rows"), rows},
        {QStringLiteral("groups"), groups},
        {QStringLiteral("registers"), registers},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool WriteParamSet(const TParamSet& set, const QString& path, QString* error)
{
    QString reason;
    if (SaveWhole(path, ParamSetJson(set), &reason))
        return true;
    if (error)
        *error =
            QStringLiteral("Не удалось записать файл \"%1\": %2").arg(QFileInfo(path).fileName(), reason);
    return false;
}

TParamSetRead ReadParamSet(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    // A parameter set is a few kilobytes; anything far larger is no such file.
    constexpr qint64 MaxSize = 1 << 20;
    if (!file.open(QIODevice::ReadOnly))
        return Failed(QStringLiteral("Не удалось открыть файл \"%1\": %2").arg(name, file.errorString()));
    if (file.size() > MaxSize)
        return Failed(QStringLiteral("Файл \"%1\" не является файлом параметров датчика!").arg(name));
    return ParseParamSet(file.readAll(), name);
}

TParamSetRead ParseParamSet(const QByteArray& content, const QString& fileName)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(content, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return Failed(
            QStringLiteral("Файл \"%1\" не является файлом параметров датчика или повреждён!").arg(fileName));
    const QJsonObject root = document.object();
    const QJsonValue format = root.value(QStringLiteral("format"));
    if (!format.isDouble())
        return Failed(FieldError(fileName, QStringLiteral("format")));
    if (format.toDouble() != ParamSetFormat)
        return Failed(QStringLiteral("Файл \"%1\" записан в неизвестном формате %2!")
                          .arg(fileName, QString::number(format.toDouble())));

    TParamSet set;
    const QJsonValue program = root.value(QStringLiteral("program"));
    const QJsonValue saved = root.value(QStringLiteral("saved"));
    if (!program.isString())
        return Failed(FieldError(fileName, QStringLiteral("program")));
    set.Program = program.toString();
    set.Saved = QDateTime::fromString(saved.toString(), Qt::ISODateWithMs);
    if (!saved.isString() || !set.Saved.isValid())
        return Failed(FieldError(fileName, QStringLiteral("saved")));
    const auto sensor = SensorOf(root.value(QStringLiteral("sensor")).toObject());
    if (!sensor)
        return Failed(FieldError(fileName, QStringLiteral("sensor")));
    set.Sensor = *sensor;

    const QJsonValue rowsValue = root.value(QStringLiteral("rows"));
    const QJsonArray rows = rowsValue.toArray();
    if (!rowsValue.isArray() || rows.size() != ParamRowCount)
        return Failed(FieldError(fileName, QStringLiteral("rows")));
    for (int row = 0; row < ParamRowCount; ++row) {
        const QJsonValue text = rows.at(row).toObject().value(QStringLiteral("text"));
        if (!text.isString())
            return Failed(FieldError(fileName, QStringLiteral("rows[%1]").arg(row)), row);
        set.Page.rows[static_cast<std::size_t>(row)] = WithLocaleSeparator(row, text.toString());
    }
    const QJsonObject groups = root.value(QStringLiteral("groups")).toObject();
    for (const TGroup& group : Groups()) {
        const auto index = Integer(groups.value(QLatin1String(group.Key)), -1, group.Items().size() - 1);
        if (!index)
            return Failed(FieldError(fileName, QStringLiteral("groups.") + QLatin1String(group.Key)));
        set.Page.*group.Index = static_cast<int>(*index);
    }
    const QJsonObject registers = root.value(QStringLiteral("registers")).toObject();
    for (int param = 0; param < ParamCount; ++param) {
        const QLatin1String key(RegisterNames[static_cast<std::size_t>(param)]);
        const auto raw = Integer(registers.value(key), 0, 0xFFFF);
        if (!raw)
            return Failed(FieldError(fileName, QStringLiteral("registers.") + key));
        set.Registers[static_cast<std::size_t>(param)] = static_cast<std::uint16_t>(*raw);
    }

    // The page's own checks, with its messages, on what the page would show.
    const TParamCheck check = Correct_Enter_Param(set.Page);
    if (!check.Passed)
        return Failed(
            QStringLiteral("Файл \"%1\", параметр \"%2\": %3").arg(fileName, PartName(check), check.Message),
            check.Focus == TParamFocus::Grid ? check.Row : -1);

    // Texts and registers must tell the same: the registers as the page shows them, and the page
    // as the registers hold it.
    const TParamTexts fromRegisters = ParamTextsOf(set.Registers);
    for (int row = 0; row < ParamRowCount; ++row) {
        const auto index = static_cast<std::size_t>(row);
        if (fromRegisters.rows[index] != set.Page.rows[index])
            return Failed(
                QStringLiteral("Файл \"%1\", параметр \"%2\": значение \"%3\" не совпадает со значением "
                               "регистров \"%4\"!")
                    .arg(fileName, ParamRows()[row].Caption, set.Page.rows[index], fromRegisters.rows[index]),
                row);
    }
    for (const TGroup& group : Groups())
        if (fromRegisters.*group.Index != set.Page.*group.Index)
            return Failed(RegisterMismatch(fileName, QString::fromUtf8(group.Caption)));
    const std::vector<TParam> differ =
        ImageDifferences(ImageFromPage(set.Page, TProtocol::Modbus, nullptr), set.Registers);
    if (!differ.empty())
        return Failed(RegisterMismatch(fileName, ParamPartName(differ.front())));
    TParamSetRead read;
    read.Set = set;
    return read;
}

QString ModelMismatch(const TParamSet& set, const QString& fileName, const TSensorIdentity& target)
{
    // A sensor not yet identified has no model to hold against the file.
    if (target.Model.isEmpty() || set.Sensor.Model.compare(target.Model, Qt::CaseInsensitive) == 0)
        return QString();
    return QStringLiteral("Файл \"%1\" записан для датчика %2, а выбран датчик %3!")
        .arg(fileName, SensorName(set.Sensor), SensorName(target));
}
