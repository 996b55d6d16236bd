#pragma once
// The diagnostic report a technician sends with a support request: one archive with the traffic
// log, link health, the settings file, the program's version, the port's adapter and the system.
#include "report/ArchiveWriter.h"
#include "serial/PortDetails.h"
#include "traffic/LinkHealth.h"
#include "traffic/Traffic.h"
#include <QString>
#include <vector>

struct TDiagnosticSources {
    const TTrafficLog* Log = nullptr;
    const TLinkHealthTable* Health = nullptr;
    // Settings.ini, copied byte for byte; one that is missing or unreadable is left out of the
    // archive and version.txt says why.
    QString SettingsPath;
    QString Version;  // the program's version text
    QString PortPath; // the port in use; empty when none
    QString Protocol; // the protocol chosen, as the window names it
};

// The archive's files: traffic.txt, traffic.csv, link-health.txt, Settings.ini, version.txt,
// port.txt (the adapter's details and driver), system.txt (kernel, its version, the machine, the
// serial drivers loaded). The log and table are read as they stand: on the bus's thread, or copies.
// System files that cannot be read are noted in their place; never throws.
std::vector<TArchiveEntry> DiagnosticEntries(const TDiagnosticSources& sources);

// DiagnosticEntries written to path; false with the reason in *error.
bool WriteDiagnosticReport(const QString& path, const TDiagnosticSources& sources, QString* error);
