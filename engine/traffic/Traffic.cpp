#include "traffic/Traffic.h"
#include <QCoreApplication>
#include <QLocale>
#include <algorithm>
#include <iterator>
#include <utility>

namespace {
using Clock = std::chrono::steady_clock;

QString Tr(const char* text)
{
    return QCoreApplication::translate("Traffic", text);
}

// The Modbus exception codes 1..7, as the sensor's manual words them.
constexpr const char* ExceptionTexts[] = {
    QT_TRANSLATE_NOOP("Traffic", "недопустимая команда"),
    QT_TRANSLATE_NOOP("Traffic", "адрес регистра недоступен"),
    QT_TRANSLATE_NOOP("Traffic", "недопустимое значение данных"),
    QT_TRANSLATE_NOOP("Traffic", "ошибка записи во Flash"),
    QT_TRANSLATE_NOOP("Traffic", "недопустимое количество регистров"),
    QT_TRANSLATE_NOOP("Traffic", "запись в регистры для чтения"),
    QT_TRANSLATE_NOOP("Traffic", "запись в зарезервированные регистры"),
};

QString HexByte(unsigned value)
{
    return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

QString HexWord(unsigned value)
{
    return QStringLiteral("%1").arg(value & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
}

// The command letters a Modbus command write carries in its value.
QString CommandLetters(std::uint16_t value)
{
    return QString(QChar(value >> 8)) + QChar(value & 0xFF);
}

// A standard reply's text after "!" and the address, without its CR.
QString StandardBody(const QByteArray& bytes)
{
    QByteArray body = bytes.mid(3);
    if (body.endsWith('\r'))
        body.chop(1);
    return QString::fromLatin1(body);
}

QString RequestMeaning(const TTrafficFrame& f)
{
    const QString head = QString::fromLatin1(f.Head);
    switch (f.Kind) {
    case TRequestKind::Probe:
        return Tr("поисковый запрос");
    case TRequestKind::Broadcast:
        return Tr("фиксация, всем датчикам");
    case TRequestKind::Command:
        return Tr("команда %1").arg(f.Protocol == TProtocol::Modbus ? CommandLetters(f.Value) : head);
    case TRequestKind::ReadRegister:
        return Tr("чтение %1").arg(head);
    case TRequestKind::WriteRegister:
        return Tr("запись %1 = %2").arg(head, StandardBody(f.Bytes).mid(head.size()));
    case TRequestKind::ReadLatched:
        return Tr("чтение фиксированного результата");
    case TRequestKind::ReadLast:
        return Tr("чтение последнего результата");
    case TRequestKind::ReadIdent:
        return Tr("чтение идентификации");
    case TRequestKind::ReadFlags:
        return Tr("чтение регистра флагов");
    case TRequestKind::ReadBlock:
        return Tr("чтение блока параметров");
    case TRequestKind::WriteFlags:
        return Tr("запись регистра флагов = %1").arg(HexWord(f.Value));
    case TRequestKind::WriteBlock:
        return Tr("запись блока параметров, регистров: %1").arg(f.Value);
    case TRequestKind::StreamStart:
        return Tr("запуск потока");
    case TRequestKind::StreamStop:
        return Tr("остановка потока");
    }
    return {};
}

// The data word of a one-register Modbus read reply.
std::uint16_t ModbusWord(const QByteArray& bytes)
{
    if (bytes.size() < 5)
        return 0;
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[3]) << 8 |
                                      static_cast<std::uint8_t>(bytes[4]));
}

QString ReplyMeaning(const TTrafficFrame& f)
{
    const bool modbus = f.Protocol == TProtocol::Modbus;
    switch (f.Kind) {
    case TRequestKind::Probe:
        return Tr("ответ на поиск");
    case TRequestKind::Command:
        return Tr("эхо %1").arg(modbus ? CommandLetters(f.Value) : QString::fromLatin1(f.Head));
    case TRequestKind::ReadRegister:
    case TRequestKind::WriteRegister: {
        const QString body = StandardBody(f.Bytes);
        return Tr("ответ %1 = %2").arg(body.left(3), body.mid(3));
    }
    case TRequestKind::ReadLatched:
        return modbus ? Tr("ответ: фиксированный результат = %1").arg(ModbusWord(f.Bytes))
                      : Tr("ответ %1").arg(StandardBody(f.Bytes));
    case TRequestKind::ReadLast:
        return modbus ? Tr("ответ: последний результат = %1").arg(ModbusWord(f.Bytes))
                      : Tr("ответ %1").arg(StandardBody(f.Bytes));
    case TRequestKind::ReadIdent:
        return Tr("ответ: идентификация");
    case TRequestKind::ReadFlags:
        return Tr("ответ: регистр флагов = %1").arg(HexWord(ModbusWord(f.Bytes)));
    case TRequestKind::ReadBlock:
        return Tr("ответ: блок параметров");
    case TRequestKind::WriteFlags:
        return Tr("эхо записи регистра флагов");
    case TRequestKind::WriteBlock:
        return Tr("эхо записи блока параметров");
    case TRequestKind::StreamStop:
        return Tr("эхо SB");
    case TRequestKind::StreamStart:
    case TRequestKind::Broadcast:
        break;
    }
    return Tr("ответ");
}

// A frame that answers nothing the program asked, told by its bytes alone.
QString StrangerMeaning(const TTrafficFrame& f)
{
    if (f.Protocol == TProtocol::Modbus) {
        if (f.Bytes.size() < 2)
            return Tr("кадр Modbus");
        const auto function = static_cast<std::uint8_t>(f.Bytes[1]);
        return Tr("кадр Modbus, функция %1").arg(HexByte(function));
    }
    return Tr("ответ %1").arg(StandardBody(f.Bytes));
}
} // namespace

TTrafficLog::TTrafficLog(std::size_t capacity)
    : ring_(std::max<std::size_t>(capacity, 1)), steadyStart_(Clock::now()),
      wallStart_(QDateTime::currentDateTime())
{
}

std::uint64_t TTrafficLog::Add(TTrafficFrame frame)
{
    frame.Seq = nextSeq_++;
    if (size_ == ring_.size()) {
        ring_[head_] = std::move(frame);
        head_ = (head_ + 1) % ring_.size();
        ++dropped_;
    } else {
        ring_[(head_ + size_) % ring_.size()] = std::move(frame);
        ++size_;
    }
    return nextSeq_ - 1;
}

const TTrafficFrame* TTrafficLog::Find(std::uint64_t seq) const
{
    if (seq < FirstSeq() || seq >= nextSeq_)
        return nullptr;
    return &At(static_cast<std::size_t>(seq - FirstSeq()));
}

TTrafficFrame* TTrafficLog::Find(std::uint64_t seq)
{
    return const_cast<TTrafficFrame*>(std::as_const(*this).Find(seq));
}

const TTrafficFrame& TTrafficLog::At(std::size_t index) const
{
    return ring_[(head_ + index) % ring_.size()];
}

void TTrafficLog::Clear()
{
    dropped_ += size_;
    for (std::size_t i = 0; i < size_; ++i)
        ring_[(head_ + i) % ring_.size()] = TTrafficFrame();
    head_ = 0;
    size_ = 0;
    ++generation_;
}

QDateTime TTrafficLog::WallTime(Clock::time_point at) const
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at - steadyStart_).count();
    return wallStart_.addMSecs(ms);
}

namespace TrafficText {
QString Time(const TTrafficLog& log, const TTrafficFrame& frame)
{
    return log.WallTime(frame.At).toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString Direction(const TTrafficFrame& frame)
{
    return frame.Direction == TFrameDirection::Sent ? QStringLiteral("→") : QStringLiteral("←");
}

QString Hex(const QByteArray& bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += QLatin1Char(digits[b >> 4]);
        text += QLatin1Char(digits[b & 0xF]);
    }
    return text;
}

QString Printable(const QByteArray& bytes)
{
    QString text(bytes.size(), QLatin1Char('.'));
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b >= 0x20 && b < 0x7F)
            text[i] = QLatin1Char(static_cast<char>(b));
    }
    return text;
}

QString Meaning(const TTrafficFrame& frame)
{
    if (frame.Direction == TFrameDirection::Sent)
        return frame.HasKind ? RequestMeaning(frame) : QString();
    if (frame.Stream) {
        if (frame.Status != TFrameStatus::Ok)
            return Tr("поток: неверная группа");
        const QByteArray group = frame.Bytes.mid(1, 5);
        return group.startsWith('N') ? Tr("поток: счёт %1").arg(QString::fromLatin1(group.mid(1)))
                                     : Tr("поток: %1").arg(QString::fromLatin1(group));
    }
    switch (frame.Status) {
    case TFrameStatus::Noise:
        return Tr("шум");
    case TFrameStatus::Exception: {
        const unsigned code = frame.ExceptionCode;
        if (code >= 1 && code <= std::size(ExceptionTexts))
            return Tr("исключение %1: %2").arg(HexByte(code), Tr(ExceptionTexts[code - 1]));
        return Tr("исключение %1").arg(HexByte(code));
    }
    default:
        break;
    }
    return frame.HasKind ? ReplyMeaning(frame) : StrangerMeaning(frame);
}

QString Status(const TTrafficFrame& frame)
{
    switch (frame.Status) {
    case TFrameStatus::Ok:
        return Tr("ок");
    case TFrameStatus::Pending:
        return Tr("ожидание ответа");
    case TFrameStatus::NoReply:
        return Tr("нет ответа (%1 мс)").arg(frame.ResponseUs / 1000);
    case TFrameStatus::Exception:
        return Tr("исключение");
    case TFrameStatus::CrcError:
        return Tr("ошибка CRC");
    case TFrameStatus::Unmatched:
        return Tr("не соответствует запросу");
    case TFrameStatus::Late:
        return Tr("опоздал");
    case TFrameStatus::Malformed:
        return Tr("ошибка формата");
    case TFrameStatus::Noise:
        return Tr("шум");
    }
    return {};
}

QString ResponseTime(const TTrafficFrame& frame)
{
    if (frame.ResponseUs < 0 || frame.Status == TFrameStatus::NoReply)
        return {};
    return Tr("%1 мс").arg(
        QLocale(QLocale::Russian).toString(static_cast<double>(frame.ResponseUs) / 1000.0, 'f', 1));
}

QString Address(const TTrafficFrame& frame)
{
    return frame.Address < 0 ? QStringLiteral("—") : HexByte(static_cast<unsigned>(frame.Address));
}

QString Heading(int column)
{
    static constexpr const char* headings[TrafficColumn::Count] = {
        QT_TRANSLATE_NOOP("Traffic", "Время"),     QT_TRANSLATE_NOOP("Traffic", "Направление"),
        QT_TRANSLATE_NOOP("Traffic", "Порт"),      QT_TRANSLATE_NOOP("Traffic", "Скорость"),
        QT_TRANSLATE_NOOP("Traffic", "Адрес"),     QT_TRANSLATE_NOOP("Traffic", "Байты"),
        QT_TRANSLATE_NOOP("Traffic", "Текст"),     QT_TRANSLATE_NOOP("Traffic", "Значение"),
        QT_TRANSLATE_NOOP("Traffic", "Состояние"), QT_TRANSLATE_NOOP("Traffic", "Время ответа"),
    };
    return column >= 0 && column < TrafficColumn::Count ? Tr(headings[column]) : QString();
}

QString Cell(const TTrafficLog& log, const TTrafficFrame& frame, int column)
{
    switch (column) {
    case TrafficColumn::Time:
        return Time(log, frame);
    case TrafficColumn::Direction:
        return Direction(frame);
    case TrafficColumn::Port:
        return frame.Port;
    case TrafficColumn::Speed:
        return frame.Speed > 0 ? QString::number(frame.Speed) : QString();
    case TrafficColumn::Address:
        return Address(frame);
    case TrafficColumn::Bytes:
        return Hex(frame.Bytes);
    case TrafficColumn::Text:
        return Printable(frame.Bytes);
    case TrafficColumn::Meaning:
        return Meaning(frame);
    case TrafficColumn::Status:
        return Status(frame);
    case TrafficColumn::Response:
        return ResponseTime(frame);
    default:
        return {};
    }
}
} // namespace TrafficText
