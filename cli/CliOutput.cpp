#include "cli/CliOutput.h"
#include "cli/CliText.h"
#include "protocol/DeviceUnit.h"
#include <QJsonDocument>
#include <cstdio>

namespace {
bool& Closed()
{
    static bool closed = false;
    return closed;
}

void Write(const QByteArray& bytes)
{
    if (Closed())
        return;
    if (std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) !=
            static_cast<std::size_t>(bytes.size()) ||
        std::fflush(stdout) != 0)
        Closed() = true;
}
} // namespace

bool OutputClosed()
{
    return Closed();
}

void PrintOut(const QString& text)
{
    Write(text.toUtf8());
}

void PrintJson(const QJsonObject& object)
{
    QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    if (!bytes.endsWith('\n'))
        bytes.append('\n');
    Write(bytes);
}

void PrintError(const QString& message)
{
    const QByteArray bytes = (QStringLiteral("veltrano-cli: ") + message + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

void PrintTable(const QStringList& header, const std::vector<QStringList>& rows)
{
    std::vector<qsizetype> widths(static_cast<std::size_t>(header.size()));
    const auto measure = [&](const QStringList& row) {
        for (qsizetype i = 0; i < row.size() && i < header.size(); ++i)
            widths[static_cast<std::size_t>(i)] =
                std::max(widths[static_cast<std::size_t>(i)], row[i].size());
    };
    measure(header);
    for (const QStringList& row : rows)
        measure(row);
    QString text;
    const auto line = [&](const QStringList& row) {
        QString out;
        for (qsizetype i = 0; i < row.size() && i < header.size(); ++i) {
            const bool last = i + 1 == std::min(row.size(), header.size());
            out += last ? row[i] : row[i].leftJustified(widths[static_cast<std::size_t>(i)] + 2);
        }
        text += out + QLatin1Char('\n');
    };
    line(header);
    for (const QStringList& row : rows)
        line(row);
    PrintOut(text);
}

QString NumberText(double value)
{
    return QString::number(value, 'g', 12);
}

QJsonObject SensorJson(const TDevice& device, const QString& port, TProtocol protocol)
{
    return {
        {QStringLiteral("port"), port},
        {QStringLiteral("address"), device.AddressNumber()},
        {QStringLiteral("address_hex"), QString::fromLatin1(device.AdressStr.load())},
        {QStringLiteral("speed"), device.ComPortSpeed.load()},
        {QStringLiteral("protocol"),
         protocol == TProtocol::Modbus ? QStringLiteral("modbus") : QStringLiteral("standard")},
        {QStringLiteral("model"), QString::fromLatin1(device.Model).trimmed()},
        {QStringLiteral("serial"), device.SerialNumber},
        {QStringLiteral("range_mm"), device.ID_D},
        {QStringLiteral("distance_mm"), device.ID_M},
    };
}

QStringList SensorHeader()
{
    return {Cli::tr("PORT"),   Cli::tr("ADDRESS"),   Cli::tr("SPEED"),       Cli::tr("MODEL"),
            Cli::tr("SERIAL"), Cli::tr("RANGE, MM"), Cli::tr("DISTANCE, MM")};
}

QStringList SensorRow(const TDevice& device, const QString& port)
{
    return {port,
            QStringLiteral("%1 (%2)")
                .arg(QString::fromLatin1(device.AdressStr.load()))
                .arg(device.AddressNumber()),
            QString::number(device.ComPortSpeed.load()),
            QString::fromLatin1(device.Model).trimmed(),
            QString::number(device.SerialNumber),
            NumberText(device.ID_D),
            NumberText(device.ID_M)};
}

TResultOut ResultOf(const TResultField& field, double range)
{
    if (field.NForm)
        return {QStringLiteral("count"), static_cast<double>(field.Raw)};
    if (field.Raw == RawOutOfRange)
        return {QStringLiteral("out_of_range"), 0};
    if (field.Raw == RawNoResult)
        return {QStringLiteral("no_result"), 0};
    return {QStringLiteral("result"), ResultValue(field, range)};
}
