#include "operations/TThread4Unit.h"
#include "app/Unit1.h"
#include "operations/OperationLog.h"
#include "operations/ProbeAnswer.h"
#include "protocol/Frames.h"
#include "protocol/LinkState.h"
#include "serial/TCommPortDriver.h"
#include "widgets/ProgressBar.h"
#include <chrono>
#include <thread>

std::atomic<std::int32_t> ProbeAddress{0};

namespace {
std::atomic<int> liveProbeWorkers{0};
// Every pass advances the bar once per address: eight passes fill it.
constexpr int SearchSpeedCount = 8;
// While a pass probes, the line is read this often, so that an answer reaches the window within a
// few ms rather than a whole polling period later.
constexpr std::uint16_t ProbePollingDelayMs = 1;
// After its last probe a pass waits this long: two read cycles at the probe polling delay, so that
// an answer that arrived within the last pause is handed over before the next speed is set. A
// record takes its speed from the pass in progress when its answer is handled.
constexpr auto AnswerHandOverWait = std::chrono::milliseconds(4);
constexpr auto AnswerCheckInterval = std::chrono::milliseconds(1);

// The driver's polling delay for the pass, and back to the line-speed table's value after it.
class TProbePolling {
  public:
    explicit TProbePolling(TCommPortDriver& driver)
        : driver_(driver), tableDelay_(driver.ComPortPollingDelay())
    {
        driver_.setComPortPollingDelay(ProbePollingDelayMs);
    }
    ~TProbePolling() { driver_.setComPortPollingDelay(tableDelay_); }
    TProbePolling(const TProbePolling&) = delete;
    TProbePolling& operator=(const TProbePolling&) = delete;

  private:
    TCommPortDriver& driver_;
    const std::uint16_t tableDelay_;
};
} // namespace

QString SearchProgressCaption(int address, int speed)
{
    // The speed label starts with a Latin "C"; the blank before it keeps one-digit addresses aligned.
    const QString label = address < 10 ? QStringLiteral(" Cкорость: ") : QStringLiteral("Cкорость: ");
    return QStringLiteral("         Адрес: ") + QString::number(address) + label + QString::number(speed);
}

TThread4::TThread4(TOperationThreads& threads, TForm1& form, std::int32_t Speed)
    : TWorkerThread(threads), FSpeed(Speed), form_(form), live_(liveProbeWorkers)
{
}

bool TThread4::Running()
{
    return liveProbeWorkers.load() > 0;
}

void TThread4::Execute()
{
    const TLiveMark::TReleaseOnExit release(live_);
    // The driver guards its own state, so the line is switched from here as the pass needs it.
    if (!form_.SetComPortSpeed(FSpeed)) {
        qCDebug(lcOperations) << "probe pass at" << FSpeed << "skipped: the line does not take that speed";
        return;
    }
    if (!form_.CommPortDriver1->Connect()) {
        qCDebug(lcOperations) << "probe pass at" << FSpeed << "skipped: the port does not open";
        return;
    }
    const TProbePolling polling(*form_.CommPortDriver1);
    const int range = SearchRange.load();
    const auto pause = std::chrono::milliseconds(ProbePauseMs());
    for (int address = 1; address <= range; ++address) {
        if (Terminated())
            return;
        ProbeAddress = address;
        // One main-thread call per probe: the clear after the previous probe's pause, then the
        // progress of this one.
        Synchronize([this, address, range] {
            if (address == 1)
                form_.QProgressBar1->setMaximum(range * SearchSpeedCount);
            else
                KeepPreviousAnswerStart(address - 1);
            form_.QProgressBar1->setValue(form_.QProgressBar1->value() + 1);
            form_.QProgressBar1->SetCaption(SearchProgressCaption(ProbeAddress.load(), SearchSpeed.load()));
        });
        form_.CommPortDriver1->SendString(BuildSearchProbe(address));
        std::this_thread::sleep_for(pause);
    }
    WaitForLastAnswer(range, pause);
}

// The receive buffer after the pause of the probe of address: an answer split across two reads
// must not lose its first part here. Main thread.
void TThread4::KeepPreviousAnswerStart(int address)
{
    ReceiveBuffer = KeepAnswerStart(ReceiveBuffer, address, ProtocolMode.load());
}

// The answer to the last probe must be handled at this pass's speed: wait until what has arrived
// is handed over and an answer begun is complete, at most one more pause; then the buffer is
// emptied.
void TThread4::WaitForLastAnswer(int address, std::chrono::milliseconds pause)
{
    std::this_thread::sleep_for(AnswerHandOverWait);
    const auto until = std::chrono::steady_clock::now() + pause;
    bool pending = true;
    while (pending && !Terminated()) {
        const bool last = std::chrono::steady_clock::now() >= until;
        Synchronize([address, last, &pending] {
            KeepPreviousAnswerStart(address);
            pending = !ReceiveBuffer.isEmpty() && !last;
            if (!pending)
                ReceiveBuffer.clear();
        });
        if (pending)
            std::this_thread::sleep_for(AnswerCheckInterval);
    }
}
