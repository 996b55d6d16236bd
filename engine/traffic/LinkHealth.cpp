#include "traffic/LinkHealth.h"
#include <QCoreApplication>
#include <QLocale>
#include <QStringList>
#include <algorithm>

void TLinkHealth::AddResponse(std::int64_t us)
{
    ++Replies;
    LastUs = us;
    MinUs = MinUs < 0 ? us : std::min(MinUs, us);
    MaxUs = std::max(MaxUs, us);
    TotalUs += us;
}

const TLinkHealth* TLinkHealthTable::Of(int address) const
{
    const auto found = table_.find(address);
    return found == table_.end() ? nullptr : &found->second;
}

namespace {
QString Tr(const char* text)
{
    return QCoreApplication::translate("LinkHealth", text);
}

QString Ms(std::int64_t us)
{
    return us < 0 ? QStringLiteral("—")
                  : QLocale(QLocale::Russian).toString(static_cast<double>(us) / 1000.0, 'f', 1);
}
} // namespace

QString LinkHealthText(const TLinkHealth& h)
{
    QStringList lines;
    lines << Tr("Запросов: %1, ответов: %2, нет ответа: %3").arg(h.Requests).arg(h.Replies).arg(h.Timeouts);
    lines << Tr("Ошибок CRC и формата: %1, исключений: %2, опоздавших: %3")
                 .arg(h.Errors)
                 .arg(h.Exceptions)
                 .arg(h.Late);
    lines << Tr("Время ответа, мс: последнее %1, мин. %2, среднее %3, макс. %4")
                 .arg(Ms(h.LastUs), Ms(h.MinUs), Ms(h.MeanUs()), Ms(h.MaxUs));
    return lines.join(QLatin1Char('\n'));
}
