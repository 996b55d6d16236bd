#pragma once
#include <QLoggingCategory>

// Launches, refusals, watchdog expiries and worker errors; off by default, switched on with
// QT_LOGGING_RULES="veltrano.operations.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcOperations)
