#pragma once
#include "serial/TCommPortDriver.h"

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

class PortLink;

// The polling thread of one open period: reads a chunk, hands it to the main thread, waits
// until the receive event has run there, sleeps the polling delay, and again until stopped.
// It owns its read buffer, which outlives it as long as a queued hand-off still needs it.
//
// The object is the receive event's Sender. It runs a std::thread rather than being a QThread:
// QThread and Qt's event queue order threads with futexes the thread sanitizer cannot see, while
// a joined std::thread and the standard mutexes below show it every ordering the driver relies on.
class TThread_X : public QObject {
    Q_OBJECT
  public:
    // mainContext: an object living on the main thread; hand-offs queued to it are dropped when
    // it is destroyed. onEnded runs there, queued after the thread's last hand-off.
    TThread_X(std::shared_ptr<PortLink> port, std::uint16_t inBufSize, TComPortReceiveDataEvent onReceive,
              std::uint16_t pollingDelay, QObject* mainContext, std::function<void(TThread_X*)> onEnded);
    ~TThread_X() override; // requestStop(), then join()

    void start();

    // Any thread, never blocks. Ends the sleep and the wait for the main thread at once; a
    // chunk already handed over is still delivered from the buffer, in order.
    void requestStop();

    // Waits for the thread to end; returns within a polling cycle of a requestStop().
    void join();

    std::atomic<std::uint32_t> nRead{0}; // bytes taken by the current read

  private:
    struct HandOff;
    void run();
    void cycle();
    bool waitDelivered();
    void pause(int ms);

    const std::shared_ptr<PortLink> FComPortHandle_thread;
    const std::uint16_t FComPortInBufSize_thread;
    const std::uint16_t FComPortPollingDelay_thread;
    QObject* const mainContext_;
    const std::function<void(TThread_X*)> onEnded_;
    const std::shared_ptr<HandOff> handOff_;
    int lastReadError_ = 0;
    std::thread thread_;
};
