#include "sim/SimFrameLog.h"

void SimFrameLog::add(SimFrameRecord record)
{
    if (sink_)
        sink_(record);
    records_.push_back(std::move(record));
    while (records_.size() > Capacity)
        records_.pop_front();
}

std::vector<SimFrameRecord> SimFrameLog::records() const
{
    return {records_.begin(), records_.end()};
}

void SimFrameLog::clear()
{
    records_.clear();
}

QString simFormatFrame(const SimFrameRecord& record)
{
    const char* direction = "<- ";
    if (record.direction == SimFrameRecord::Direction::Sent)
        direction = "-> ";
    else if (record.direction == SimFrameRecord::Direction::Discarded)
        direction = "?? ";
    QByteArray text;
    for (const char c : record.bytes)
        text.append(c >= 0x20 && c <= 0x7E ? c : '.');
    return QStringLiteral("%1 %2%3  %4  |%5|")
        .arg(static_cast<double>(record.timeUs) / 1e6, 12, 'f', 6)
        .arg(QString::fromLatin1(direction))
        .arg(record.speed, 6)
        .arg(QString::fromLatin1(record.bytes.toHex(' ').toUpper()))
        .arg(QString::fromLatin1(text));
}
