#pragma once
// Thread.txt, the recorded stream. The lines go to a spool file beside it as they come, so that a
// long recording does not live in memory and a crash loses no more than the last chunk; when the
// recording ends the spool replaces Thread.txt in one step. Main thread only.
#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>

class TStreamRecorder : public QObject {
  public:
    // directory: where Thread.txt lies.
    TStreamRecorder(const QString& directory, QObject* parent);
    ~TStreamRecorder() override;

    QString FilePath() const;
    QString SpoolPath() const;
    bool Recording() const { return spool_.isOpen(); }

    // Starts a new spool, emptying any earlier one; false when it cannot be written.
    bool Begin();
    // Moves lines to the spool, in order, and empties lines.
    bool Spool(QStringList& lines);
    // Spools the last lines and puts the spool in the place of Thread.txt; without a running
    // recording, Thread.txt becomes lines alone. false when the file could not be written.
    bool End(QStringList& lines);

  private:
    QString directory_;
    QFile spool_;
    bool failed_ = false;
};
