#pragma once
#include <QByteArray>
#include <QString>

// A pseudo-terminal pair: the driver opens the slave path, the test plays the far end on the master.
class PtyPair {
  public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int master() const { return master_; }
    const QString& slavePath() const { return slave_; }

    void write(const QByteArray& bytes) const;
    // Reads from the master until want bytes came or quietMs passed without a byte.
    QByteArray read(int want, int quietMs = 200) const;
    void closeMaster();

  private:
    int master_ = -1;
    QString slave_;
};
