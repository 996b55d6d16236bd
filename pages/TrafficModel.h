#pragma once
// The traffic log as rows of the monitor's table: the frames a filter lets through. It catches up
// with the log on a timer, not frame by frame: a fast stream adds thousands of frames a second,
// and one view update a tick is what keeps the window responsive then.
#include "traffic/TrafficFilter.h"
#include <QAbstractTableModel>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <vector>

class TTrafficModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int DefaultIntervalMs = 150;

    // The log outlives the model; both live on one thread.
    explicit TTrafficModel(const TTrafficLog& log, QObject* parent = nullptr);

    const TTrafficLog& Log() const { return log_; }
    const TTrafficFilter& Filter() const { return filter_; }
    // The rows again, for the new filter; paused, over the frames the rows had reached.
    void SetFilter(const TTrafficFilter& filter);
    // Paused, no new rows come and none change but for those whose frames gave way (the log goes
    // on collecting); resuming catches up with everything the log still keeps.
    bool Paused() const { return paused_; }
    void SetPaused(bool paused);
    // Catching up on the model's own timer, while someone looks.
    void SetLive(bool live);
    bool Live() const { return timer_.isActive(); }

    // Brings the rows up to the log: a cleared log empties them, the rows of frames that gave way
    // go from the top, requests answered since show how they ended, new matching frames follow.
    void CatchUp();

    // The frame number of a row; the rows, oldest first.
    std::uint64_t SeqAt(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    std::vector<std::uint64_t> Seqs() const { return {rows_.begin(), rows_.end()}; }
    // The cell texts of a row, in column order; empty once its frame gave way.
    QStringList RowTexts(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  signals:
    // After each catching up, rows changed or not: what shows the log's counts follows it.
    void CaughtUp();

  private:
    // The rows afresh from the kept frames numbered below upTo.
    void Rebuild(std::uint64_t upTo);
    void DropGone();
    void RefreshPending();
    void AppendNew();
    int RowOf(std::uint64_t seq) const;

    const TTrafficLog& log_;
    TTrafficFilter filter_;
    // Ascending frame numbers: rows go from the front and come at the back.
    std::deque<std::uint64_t> rows_;
    // Those rows whose requests were still awaiting their answers when last looked at.
    std::deque<std::uint64_t> pending_;
    std::uint64_t scanned_ = 1; // the first frame number not yet looked at
    std::uint64_t generation_ = 0;
    bool paused_ = false;
    QTimer timer_;
};
