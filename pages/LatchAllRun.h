#pragma once
#include <QObject>
#include <QTimer>
#include <cstddef>
#include <vector>

class TForm1;

// The line speeds at which latch-all broadcasts, given the sensors' speeds in ascending order:
// each distinct speed once when there are at least two sensors on more than one speed; none
// otherwise, which means one broadcast at the current line speed.
std::vector<int> LatchAllSpeeds(const std::vector<int>& ascendingSpeeds);

// One latch-all on the main thread: per speed a switch of the line, the broadcast latch and a
// pause that lets it leave the line; then the status text, the table row and the return to the
// chosen sensor's speed. The pause runs on a timer, so the window keeps serving its events, but
// the launcher is held meanwhile: no operation can send at a speed the run has chosen.
// A child of the window, which it deletes once finished.
class TLatchAllRun : public QObject {
    Q_OBJECT
  public:
    TLatchAllRun(TForm1& form, std::vector<int> speeds, int pauseMs);
    ~TLatchAllRun() override;
    TLatchAllRun(const TLatchAllRun&) = delete;
    TLatchAllRun& operator=(const TLatchAllRun&) = delete;

    void Start();
    bool Running() const { return running_; }

  private:
    void Next();
    void Broadcast();
    void Finish();
    void ReleaseLauncher();

    TForm1& form_;
    const std::vector<int> speeds_;
    std::size_t next_ = 0;
    QTimer pause_;
    bool running_ = false;
    bool holdsLauncher_ = false;
};
