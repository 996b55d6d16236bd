#pragma once
// What the command line prints: aligned tables for people, JSON for scripts, one-line errors.
#include "protocol/Protocol.h"
#include "protocol/ReplyFields.h"
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <vector>

class TDevice;

// Everything goes out through these, unbuffered at each call's end, so that a pipe sees it at once.
void PrintOut(const QString& text);
void PrintJson(const QJsonObject& object);
// The reader of stdout has gone (a pipe closed): nothing more is written.
bool OutputClosed();
// "veltrano-cli: " and the message, on stderr.
void PrintError(const QString& message);

// Columns separated by two blanks, each as wide as its widest cell.
void PrintTable(const QStringList& header, const std::vector<QStringList>& rows);

// The sensor as every command's --json names it.
QJsonObject SensorJson(const TDevice& device, const QString& port, TProtocol protocol);
QStringList SensorHeader();
QStringList SensorRow(const TDevice& device, const QString& port);

// A result as read or streamed: its kind ("result", "count", "out_of_range", "no_result") and
// value in mm (the count itself for a count).
struct TResultOut {
    QString Kind;
    double Value = 0;
};
TResultOut ResultOf(const TResultField& field, double range);
// A number as scripts read it: '.' for the point, no exponent for the values sensors give.
QString NumberText(double value);
