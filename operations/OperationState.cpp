#include "operations/OperationState.h"

std::atomic<bool> WritePending{false};
std::atomic<bool> AddressWritten{false};
std::atomic<bool> StreamRunning{false};
