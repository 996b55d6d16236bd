#pragma once
// What a closed window must leave behind, whatever it was doing: no thread of its own, a port
// that another driver can open, the window's geometry in Settings.ini, and a recording written
// out in full.
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// Threads of this process named as the operation supervisors, workers and the port's polling
// thread name themselves.
int OperationThreadCount();

// Whether a fresh driver can open the port at path (and then lets it go again).
bool PortOpensAgain(const QString& path);

// The values of Thread.txt in folder, read in the locale the fixture sets; nullopt when the file
// is missing or a line is not a number ending in CR LF.
std::optional<std::vector<double>> RecordedValues(const QString& folder);

// The first place where values does not climb by step, as "index: a -> b"; empty when it does
// throughout.
QString FirstGap(const std::vector<double>& values, double step);
