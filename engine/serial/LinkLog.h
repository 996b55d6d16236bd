#pragma once
#include <QLoggingCategory>

// Link events (open, close, line settings, read and write failures) and raw frames in hex.
// Both are silent unless enabled, e.g. QT_LOGGING_RULES="veltrano.link*.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcLink)
Q_DECLARE_LOGGING_CATEGORY(lcLinkFrames)
