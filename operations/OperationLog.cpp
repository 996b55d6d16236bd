#include "operations/OperationLog.h"

Q_LOGGING_CATEGORY(lcOperations, "veltrano.operations", QtWarningMsg)
