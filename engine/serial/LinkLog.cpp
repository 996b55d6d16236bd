#include "serial/LinkLog.h"

Q_LOGGING_CATEGORY(lcLink, "veltrano.link", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLinkFrames, "veltrano.link.frames", QtWarningMsg)
