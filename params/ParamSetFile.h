#pragma once
// The parameter-set file: one sensor's parameters as UTF-8 JSON, both as the parameters page shows
// them and as raw register values, with the sensor they were read from and when. A file is read
// whole and checked whole (structure, the page's checks, texts against registers) before any of it
// is used, and written whole or not at all.
#include "params/ParamSet.h"
#include "protocol/Protocol.h"
#include "protocol/RegisterMap.h"
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

class TDevice;

inline constexpr int ParamSetFormat = 1;
// The extension of parameter-set files, without the dot.
inline constexpr char ParamSetSuffix[] = "json";

// The sensor a set was read from, or is meant for.
struct TSensorIdentity {
    QString Model; // without its padding blanks
    std::int32_t Serial = 0;
    int Address = 0;
    int Speed = 0;
    TProtocol Protocol = TProtocol::Standard;
    double Range = 0;
    double Distance = 0;
};
TSensorIdentity IdentityOf(const TDevice& record, TProtocol protocol);
// What the page calls the row or group that holds a parameter.
QString ParamPartName(TParam param);
// The name of a register in the file ("Uart"), for tools that name parameters to machines.
QString RegisterName(TParam param);
// The name and version of this program, as the files it writes say.
QString ProgramName();
// "VLT-250 № 210341, адрес 1" as messages name a sensor.
QString SensorName(const TSensorIdentity& sensor);

struct TParamSet {
    TSensorIdentity Sensor;
    QDateTime Saved;
    QString Program; // name and version of the program that wrote it
    TParamTexts Page;
    TParamImage Registers{};
};

// The set of what the page shows for the sensor of record: texts and their registers. The page
// must have passed its checks.
TParamSet ParamSetOf(const TParamTexts& page, const TSensorIdentity& sensor, const QString& program);

// A read's outcome: the set, or the message that names the file and, where one is to blame, the
// row or group of the page.
struct TParamSetRead {
    std::optional<TParamSet> Set;
    QString Error;
    int Row = -1; // the grid row to blame, -1 for none
};
TParamSetRead ReadParamSet(const QString& path);
// The same for content already read; fileName is what messages call it.
TParamSetRead ParseParamSet(const QByteArray& content, const QString& fileName);

QByteArray ParamSetJson(const TParamSet& set);
// Whole or not at all: the old file stays as it was when anything fails. false with the message
// in *error.
bool WriteParamSet(const TParamSet& set, const QString& path, QString* error);

// Empty when the set may go to the sensor; otherwise the message why not (another model).
QString ModelMismatch(const TParamSet& set, const QString& fileName, const TSensorIdentity& target);
