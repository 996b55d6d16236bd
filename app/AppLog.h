#pragma once
#include <QLoggingCategory>

// Start-up and window events of the program; off by default, switched on with
// QT_LOGGING_RULES="veltrano.app.info=true".
Q_DECLARE_LOGGING_CATEGORY(lcApp)
