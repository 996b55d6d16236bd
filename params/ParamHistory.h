#pragma once
// Every successful read and write of a sensor, kept as a parameter-set file under
// <root>/<model>_<serial>/, newest first, at most a limit per sensor. The listing goes by file
// names alone, so a damaged file never hides the others.
#include "params/ParamSetFile.h"
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

class TParamHistory {
  public:
    enum class TEvent { Read, Write };
    struct TEntry {
        QString Path;
        QDateTime Saved;
        TEvent Event = TEvent::Read;
    };

    TParamHistory(QString root, int limit);
    // <QStandardPaths::AppDataLocation>/history
    static QString DefaultRoot();

    const QString& Root() const { return root_; }
    int Limit() const { return limit_; }
    // At least 1; applies from the next Keep().
    void SetLimit(int limit);

    // Keeps set as the newest entry of its sensor, then removes the oldest entries beyond the
    // limit. false, with a message naming the file in *error, when it could not be written; the
    // entries already kept stay as they were.
    bool Keep(const TParamSet& set, TEvent event, QString* error);
    // Newest first.
    std::vector<TEntry> Entries(const TSensorIdentity& sensor) const;
    // The newest entry older than the sensor's newest Write entry: the configuration the last
    // write replaced. nullopt when there is no write, or nothing before it.
    std::optional<TEntry> BeforeLastWrite(const TSensorIdentity& sensor) const;

  private:
    QString root_;
    int limit_;
};
