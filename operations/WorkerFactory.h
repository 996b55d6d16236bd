#pragma once
#include <cstdint>
#include <memory>

class TForm1;
class TOperationThreads;
class TWorkerThread;

// Whether operation code has a worker; the launcher refuses the others.
bool HasWorker(int code);
// The worker of operation code, not yet started; nullptr for a code without one.
std::shared_ptr<TWorkerThread> CreateWorker(std::uint8_t code, TForm1& form, TOperationThreads& threads);
