#pragma once
// Thread.txt, the recorded stream. The lines go to a spool file beside it as they come, so that a
// long recording does not live in memory and a crash loses no more than the last chunk; when the
// recording ends the spool replaces Thread.txt in one step. A spool that could not replace
// Thread.txt is kept, never emptied by a new recording. Main thread only.
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
    // A recording that did not reach Thread.txt waits in the spool.
    bool SpoolKept() const { return kept_; }

    // Starts a new spool, emptying any earlier one; false when it cannot be written. A kept
    // spool is first moved to Thread.txt; while that fails, nothing starts and it stays kept.
    bool Begin();
    // Moves lines to the spool, in order, and empties lines.
    bool Spool(QStringList& lines);
    // Spools the last lines and puts the spool in the place of Thread.txt; without a running
    // recording, Thread.txt becomes lines alone. false when the file could not be written: the
    // spool is then kept with whatever reached it.
    bool End(QStringList& lines);

  private:
    bool Replace();

    QString directory_;
    QFile spool_;
    bool failed_ = false;
    bool kept_ = false;
};
