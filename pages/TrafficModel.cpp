#include "pages/TrafficModel.h"
#include <QColor>
#include <algorithm>

TTrafficModel::TTrafficModel(const TTrafficLog& log, QObject* parent)
    : QAbstractTableModel(parent), log_(log), scanned_(log.FirstSeq()), generation_(log.Generation())
{
    timer_.setInterval(DefaultIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &TTrafficModel::CatchUp);
}

void TTrafficModel::SetFilter(const TTrafficFilter& filter)
{
    if (filter == filter_)
        return;
    filter_ = filter;
    Rebuild(paused_ && log_.Generation() == generation_ ? scanned_ : log_.NextSeq());
    emit CaughtUp();
}

void TTrafficModel::SetPaused(bool paused)
{
    if (paused == paused_)
        return;
    paused_ = paused;
    if (!paused_)
        CatchUp();
}

void TTrafficModel::SetLive(bool live)
{
    if (live == timer_.isActive())
        return;
    if (!live) {
        timer_.stop();
        return;
    }
    timer_.start();
    CatchUp();
}

void TTrafficModel::CatchUp()
{
    if (log_.Generation() != generation_) {
        Rebuild(log_.NextSeq());
    } else {
        // Gone frames go even while paused: the model holds no row the log no longer keeps.
        DropGone();
        if (!paused_) {
            RefreshPending();
            AppendNew();
        }
    }
    emit CaughtUp();
}

void TTrafficModel::Rebuild(std::uint64_t upTo)
{
    beginResetModel();
    rows_.clear();
    pending_.clear();
    generation_ = log_.Generation();
    const std::uint64_t first = log_.FirstSeq();
    const std::uint64_t end = std::clamp(upTo, first, log_.NextSeq());
    for (std::uint64_t seq = first; seq < end; ++seq) {
        const TTrafficFrame& frame = log_.At(static_cast<std::size_t>(seq - first));
        if (!filter_.Matches(frame))
            continue;
        rows_.push_back(seq);
        if (frame.Status == TFrameStatus::Pending)
            pending_.push_back(seq);
    }
    scanned_ = end;
    endResetModel();
}

void TTrafficModel::DropGone()
{
    const std::uint64_t first = log_.FirstSeq();
    const auto kept = std::lower_bound(rows_.begin(), rows_.end(), first);
    if (kept != rows_.begin()) {
        beginRemoveRows({}, 0, static_cast<int>(kept - rows_.begin()) - 1);
        rows_.erase(rows_.begin(), kept);
        endRemoveRows();
    }
    pending_.erase(pending_.begin(), std::lower_bound(pending_.begin(), pending_.end(), first));
}

void TTrafficModel::RefreshPending()
{
    int low = -1;
    int high = -1;
    std::vector<int> unmatched; // ascending
    std::deque<std::uint64_t> still;
    for (const std::uint64_t seq : pending_) {
        const TTrafficFrame* const frame = log_.Find(seq);
        if (!frame)
            continue;
        if (frame->Status == TFrameStatus::Pending) {
            still.push_back(seq);
            continue;
        }
        const int row = RowOf(seq);
        if (row < 0)
            continue;
        // Only errors shown: a request answered in time leaves the list.
        if (!filter_.Matches(*frame)) {
            unmatched.push_back(row);
            continue;
        }
        low = low < 0 ? row : std::min(low, row);
        high = std::max(high, row);
    }
    pending_.swap(still);
    if (high >= 0)
        emit dataChanged(index(low, 0), index(high, TrafficColumn::Count - 1));
    // From the bottom up, a run of neighbouring rows at a time, so that the rows still to go keep
    // their numbers.
    for (auto last = unmatched.rbegin(); last != unmatched.rend();) {
        auto first = last;
        while (std::next(first) != unmatched.rend() && *std::next(first) == *first - 1)
            ++first;
        beginRemoveRows({}, *first, *last);
        rows_.erase(rows_.begin() + *first, rows_.begin() + *last + 1);
        endRemoveRows();
        last = std::next(first);
    }
}

void TTrafficModel::AppendNew()
{
    const std::uint64_t first = log_.FirstSeq();
    const std::uint64_t next = log_.NextSeq();
    std::vector<std::uint64_t> fresh;
    for (std::uint64_t seq = std::max(scanned_, first); seq < next; ++seq) {
        const TTrafficFrame& frame = log_.At(static_cast<std::size_t>(seq - first));
        if (!filter_.Matches(frame))
            continue;
        fresh.push_back(seq);
        if (frame.Status == TFrameStatus::Pending)
            pending_.push_back(seq);
    }
    scanned_ = next;
    if (fresh.empty())
        return;
    const int at = static_cast<int>(rows_.size());
    beginInsertRows({}, at, at + static_cast<int>(fresh.size()) - 1);
    rows_.insert(rows_.end(), fresh.begin(), fresh.end());
    endInsertRows();
}

int TTrafficModel::RowOf(std::uint64_t seq) const
{
    const auto at = std::lower_bound(rows_.begin(), rows_.end(), seq);
    return at != rows_.end() && *at == seq ? static_cast<int>(at - rows_.begin()) : -1;
}

QStringList TTrafficModel::RowTexts(int row) const
{
    QStringList texts;
    if (row < 0 || row >= rowCount())
        return texts;
    if (const TTrafficFrame* const frame = log_.Find(SeqAt(row)))
        for (int column = 0; column < TrafficColumn::Count; ++column)
            texts << TrafficText::Cell(log_, *frame, column);
    return texts;
}

int TTrafficModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TTrafficModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : TrafficColumn::Count;
}

QVariant TTrafficModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const TTrafficFrame* const frame = log_.Find(SeqAt(index.row()));
    if (!frame)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return TrafficText::Cell(log_, *frame, index.column());
    case Qt::ForegroundRole:
        if (frame->Status == TFrameStatus::Ok)
            return {};
        return frame->Status == TFrameStatus::Pending ? QColor(0x80, 0x80, 0x80) : QColor(0xB4, 0x1E, 0x1E);
    case Qt::TextAlignmentRole:
        if (index.column() == TrafficColumn::Speed || index.column() == TrafficColumn::Response)
            return static_cast<int>(Qt::AlignRight | Qt::AlignVCenter);
        if (index.column() == TrafficColumn::Direction || index.column() == TrafficColumn::Address)
            return static_cast<int>(Qt::AlignCenter);
        return {};
    default:
        return {};
    }
}

QVariant TTrafficModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return TrafficText::Heading(section);
}
