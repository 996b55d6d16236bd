#pragma once
#include "serial/TCommPortDriver.h"

#include <QThread>
#include <atomic>
#include <cstdint>
#include <memory>

class PortLink;

// The polling thread of one open period: reads a chunk, hands it to the main thread, waits
// until the receive event has run there, sleeps the polling delay, and again until stopped.
// It owns its read buffer, which outlives it as long as a queued hand-off still needs it.
class TThread_X : public QThread {
    Q_OBJECT
  public:
    // mainContext: an object living on the main thread; hand-offs queued to it are dropped
    // when it is destroyed. Not started by the constructor.
    TThread_X(std::shared_ptr<PortLink> port, std::uint16_t inBufSize, TComPortReceiveDataEvent onReceive,
              std::uint16_t pollingDelay, QObject* mainContext);
    ~TThread_X() override;

    // Any thread, never blocks. Ends the sleep and the wait for the main thread at once; a
    // chunk already handed over is still delivered from the buffer, in order.
    void requestStop();

    std::atomic<std::uint32_t> nRead{0}; // bytes taken by the current read

  protected:
    void run() override;

  private:
    struct HandOff;
    void cycle();
    bool waitDelivered();
    void pause(int ms);

    const std::shared_ptr<PortLink> FComPortHandle_thread;
    const std::uint16_t FComPortInBufSize_thread;
    const std::uint16_t FComPortPollingDelay_thread;
    QObject* const mainContext_;
    const std::shared_ptr<HandOff> handOff_;
    int lastReadError_ = 0;
};
