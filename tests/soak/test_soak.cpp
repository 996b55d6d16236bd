// The long run: the real window, offscreen, with the real driver on a simulated bus on a
// pseudo-terminal, cycling for VELTRANO_SOAK_SECONDS (default an hour) through a bus search,
// parameter reads, latches and a recorded result stream at 921600 baud. It fails on memory that
// grows beyond what the chart holds, on any error text or message box, and on any streamed sample
// missing from, doubled in or added to the recording.
#include "bus/SensorBus.h"
#include "pages/StreamChart.h"
#include "protocol/DeviceList.h"
#include "sim/SimRegisters.h"
#include "tests/integration/BusFormFixture.h"
#include "widgets/StatusPanels.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <time.h>

namespace {

constexpr int SlowAddress = 1;
constexpr int SlowSpeed = 115200;
constexpr int FastAddress = 2;
constexpr int FastSpeed = 921600;
// A range equal to the full scale makes every streamed value its raw count.
constexpr double FastRange = 50000;
constexpr int Wrap = 50000;
constexpr int WarmUpCycles = 2;
// What one chart point may cost, its container grown by doubling included.
constexpr long BytesPerPoint = 64;
// Heap and font caches settle at slightly different sizes from cycle to cycle.
constexpr long SlackKb = 16 * 1024;

long RssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// What the heap holds in live blocks: unlike the resident size, blind to memory the allocator
// keeps for reuse, so it tells a leak from a heap that has not shrunk back.
long HeapInUseKb()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
}

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

std::string LoadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return "?";
    return file.readAll().split(' ').first().toStdString();
}

int SoakSeconds()
{
    const QByteArray text = qgetenv("VELTRANO_SOAK_SECONDS");
    bool ok = false;
    const int seconds = text.toInt(&ok);
    return ok && seconds > 0 ? seconds : 3600;
}

// Every status text the window shows goes through here; those outside the normal course of the
// run are kept as errors.
class SoakForm : public TForm1 {
  public:
    SoakForm(QWidget* parent, SettingsPaths paths) : TForm1(parent, std::move(paths))
    {
        connect(StatusBar1, &TStatusPanels::TextSet, this, [this](int panel, const QString& text) {
            const std::lock_guard lock(mutex_);
            ++shown_[text];
            if (!Normal().contains(text))
                errors_.push_back(QStringLiteral("panel %1: %2").arg(panel).arg(text));
        });
    }
    int TimesShown(const QString& text) const
    {
        const std::lock_guard lock(mutex_);
        const auto it = shown_.find(text);
        return it == shown_.end() ? 0 : it->second;
    }
    std::vector<QString> Errors() const
    {
        const std::lock_guard lock(mutex_);
        return errors_;
    }
    std::map<QString, int> Shown() const
    {
        const std::lock_guard lock(mutex_);
        return shown_;
    }

  private:
    static const QSet<QString>& Normal()
    {
        static const QSet<QString> texts{
            QString(),
            QStringLiteral("Поиск..."),
            QStringLiteral("Поиск завершён"),
            QStringLiteral("Чтение..."),
            QStringLiteral("Чтение параметров завершено"),
            QStringLiteral("Результат защёлкнут"),
            QStringLiteral("Результаты защёлкнуты"),
            QStringLiteral("Результат прочитан из защёлки"),
            QStringLiteral("Запускаем поток..."),
            QStringLiteral("Поток запущен"),
            QStringLiteral("Останавливаем поток..."),
            QStringLiteral("Поток остановлен"),
            QStringLiteral("Запись потока в файл..."),
            QStringLiteral("Запись потока завершена"),
        };
        return texts;
    }

    mutable std::mutex mutex_;
    std::map<QString, int> shown_;
    std::vector<QString> errors_;
};

struct Figures {
    int cycles = 0;
    int searches = 0;
    int reads = 0;
    int latches = 0;
    int latchReads = 0;
    std::uint64_t streamed = 0;
    std::uint64_t streamedWhileRecording = 0;
    std::uint64_t recorded = 0;
    // Streamed samples that never reached the window whole, and in how many runs.
    std::uint64_t notReceived = 0;
    int lossEvents = 0;
    long rssStartKb = 0;
    long rssEndKb = 0;
    long rssMinKb = 0;
    long rssMaxKb = 0;
};

class SoakTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        savedLocale_ = QLocale();
        // Results are shown and recorded with the locale's decimal separator.
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));

        SimSensorConfig slow;
        slow.address = SlowAddress;
        slow.speed = SlowSpeed;
        slow.model = "VLT-S";
        slow.serial = 101;
        slow.range = 250.0;
        slow.mode = SimMeasureMode::Fixed;
        slow.value = 20000;
        slowSensor = bus.addSensor(slow);
        ASSERT_GE(slowSensor, 0);

        SimSensorConfig fast;
        fast.address = FastAddress;
        fast.speed = FastSpeed;
        fast.model = "VLT-F";
        fast.serial = 202;
        fast.range = FastRange;
        fast.mode = SimMeasureMode::Counter;
        fast.value = 0;
        fastSensor = bus.addSensor(fast);
        ASSERT_GE(fastSensor, 0);
        // A result every 0.1 ms, each streamed: the line, not the sensor, sets the pace.
        bus.setRegister(fastSensor, SimReg::PeriodLo, 1);
        bus.setRegister(fastSensor, SimReg::ConstantLo, 1);

        QString error;
        ASSERT_TRUE(bus.start(&error)) << error.toStdString();
        form = std::make_unique<SoakForm>(nullptr, SettingsPaths{work.path(), program.path()});
        form->CreateSplash();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->ComboBox2->setCurrentText(bus.slavePath());
        // Two addresses; a pause after each probe long enough for the simulated bus on a busy
        // machine.
        form->TabSheet1->Edit1->setText(QStringLiteral("100"));
        form->TabSheet1->Edit2->setText(QStringLiteral("2"));
        form->TabSheet2->LabeledEdit_RecordThrd->setText(QStringLiteral("1"));
    }

    void TearDown() override
    {
        if (form && clock.isValid())
            PrintFigures();
        closer.reset();
        form.reset();
        bus.stop();
        QLocale::setDefault(savedLocale_);
    }

    bool Idle(int ms) const
    {
        return QTest::qWaitFor([this] { return !form->Bus().Busy(); }, ms);
    }

    // Serves events for ms, sampling the memory every two seconds.
    void Serve(int ms)
    {
        QElapsedTimer served;
        served.start();
        while (served.elapsed() < ms) {
            QTest::qWait(std::min<int>(2000, ms - static_cast<int>(served.elapsed())));
            Sample();
        }
    }
    void Sample()
    {
        const long kb = RssKb();
        figures.rssMinKb = figures.rssMinKb == 0 ? kb : std::min(figures.rssMinKb, kb);
        figures.rssMaxKb = std::max(figures.rssMaxKb, kb);
    }

    void Page(QWidget* page) { form->PageControl1->setCurrentWidget(page); }

    void Select(int address)
    {
        const int index = form->ComboBox1->findText(QString::number(address));
        ASSERT_GE(index, 0) << address;
        form->ComboBox1->setCurrentIndex(index);
        emit form->ComboBox1->activated(index);
        ASSERT_EQ(form->ComboBox1->currentText(), QString::number(address));
    }

    void Search()
    {
        Page(form->TabSheet1);
        const int done = form->TimesShown(QStringLiteral("Поиск завершён"));
        form->TabSheet1->Button5->click();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return form->TimesShown(QStringLiteral("Поиск завершён")) > done && !form->Bus().Busy(); },
            60000))
            << form->StatusText(1).toStdString();
        QStringList items;
        for (int i = 0; i < form->ComboBox1->count(); ++i)
            items << form->ComboBox1->itemText(i);
        ASSERT_EQ(items, (QStringList{QString::number(SlowAddress), QString::number(FastAddress)}));
        ++figures.searches;
    }

    void ReadParams(int address)
    {
        Select(address);
        Page(form->TabSheet3);
        const QString done = QStringLiteral("Чтение параметров завершено");
        const int before = form->TimesShown(done);
        form->TabSheet5->Button1->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->TimesShown(done) > before; }, 20000)) << address;
        ASSERT_TRUE(Idle(20000));
        ++figures.reads;
    }

    // Latches the chosen sensor, then every sensor, then reads both latches back.
    void Latch()
    {
        Page(form->TabSheet5);
        const int rows = form->TabSheet3->CountRowTable;
        form->TabSheet3->Button9->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->TabSheet3->CountRowTable == rows + 1; }, 20000));
        ASSERT_TRUE(Idle(20000));
        form->TabSheet3->Button_LatchAll->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->TabSheet3->CountRowTable == rows + 2; }, 20000));
        ASSERT_TRUE(Idle(20000));
        figures.latches += 2;
        form->TabSheet3->Button_ReadAllLanch->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->TabSheet3->CountRowTable == rows + 4; }, 20000));
        ASSERT_TRUE(Idle(20000));
        ++figures.latchReads;
        ASSERT_TRUE(QTest::qWaitFor([&] { return bus.lineSpeed() == FastSpeed; }, 5000))
            << "back at the chosen sensor's speed";
    }

    // Streams for ms with the recording on from the first confirmed sample, stops, and checks
    // the chart and Thread.txt against what the sensor put on the line.
    void StreamAndRecord(int ms, int* chartCount)
    {
        Page(form->TabSheet2);
        // The sensor counts a result for each latch and each streamed sample: the latch taken last
        // comes just before the first sample.
        const SimSensorStatus before = bus.status(fastSensor);
        const std::uint64_t sentBefore = before.samplesSent;
        const int started = form->TimesShown(QStringLiteral("Поток запущен"));
        form->TabSheet2->Button6->click();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return form->TimesShown(QStringLiteral("Поток запущен")) > started; }, 20000));
        ASSERT_TRUE(Idle(20000));
        TStreamChart& chart = form->TabSheet2->StreamChart();
        // Samples decoded from now on are recorded: the click runs between two received chunks.
        const int firstRecorded = chart.Count();
        form->TabSheet2->CheckBox_RecordThrd->click();
        ASSERT_TRUE(form->TabSheet2->CheckBox_RecordThrd->isChecked());
        Serve(ms);

        const int stopped = form->TimesShown(QStringLiteral("Поток остановлен"));
        form->TabSheet2->Button7->click();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return form->TimesShown(QStringLiteral("Поток остановлен")) > stopped &&
                       !form->TabSheet2->CheckBox_RecordThrd->isChecked() && !form->Bus().Busy();
            },
            30000))
            << form->StatusText(1).toStdString();
        ASSERT_FALSE(bus.status(fastSensor).streaming);

        const std::uint64_t sent = bus.status(fastSensor).samplesSent - sentBefore;
        const int count = chart.Count();
        *chartCount = count;
        figures.streamed += sent;
        ASSERT_GT(count, firstRecorded);
        ASSERT_LE(static_cast<std::uint64_t>(count), sent) << "more samples on the chart than streamed";
        ASSERT_EQ(*chart.HeightAt(0), (before.latched + 1) % Wrap) << "the first sample streamed";
        ASSERT_EQ(*chart.HeightAt(count - 1), bus.status(fastSensor).last) << "the last sample streamed";
        // Samples the program never got whole leave a jump in the counter; the jumps must add up to
        // what is missing from the chart, and nothing may come twice or out of order.
        std::uint64_t missing = 0;
        int previous = static_cast<int>(*chart.HeightAt(0));
        for (int k = 1; k < count; ++k) {
            const std::optional<double> height = chart.HeightAt(k);
            ASSERT_TRUE(height.has_value()) << "point " << k;
            const int value = static_cast<int>(*height);
            const int step = (value - previous + Wrap) % Wrap;
            ASSERT_NE(step, 0) << "point " << k << " doubled";
            if (step != 1) {
                missing += static_cast<std::uint64_t>(step - 1);
                ++figures.lossEvents;
                std::printf(
                    "soak: cycle %d: %d samples missing before point %d of %d (%.1f s into the stream)\n",
                    figures.cycles, step - 1, k, count, k / (static_cast<double>(count) / (ms / 1000.0)));
            }
            previous = value;
        }
        ASSERT_EQ(missing, sent - static_cast<std::uint64_t>(count))
            << "the chart's jumps against the samples lost";
        figures.notReceived += missing;

        QFile file(QDir(program.path()).filePath(QStringLiteral("Thread.txt")));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = file.readAll().split('\n');
        ASSERT_TRUE(lines.last().isEmpty()) << "the last line is ended";
        lines.removeLast();
        const std::uint64_t span = static_cast<std::uint64_t>(count - firstRecorded);
        figures.streamedWhileRecording += span;
        figures.recorded += static_cast<std::uint64_t>(lines.size());
        ASSERT_EQ(static_cast<std::uint64_t>(lines.size()), span)
            << "recorded lines against samples streamed while recording";
        for (qsizetype i = 0; i < lines.size(); ++i) {
            bool ok = false;
            const int value = lines[i].trimmed().toInt(&ok);
            ASSERT_TRUE(ok) << "line " << i << ": " << lines[i].toStdString();
            ASSERT_EQ(value, *chart.HeightAt(static_cast<double>(firstRecorded + i))) << "line " << i;
        }
        // Removed, so that the next cycle's check reads that cycle's file or none.
        ASSERT_TRUE(file.remove());
    }

    // Printed also when the run fails, with what it reached.
    void PrintFigures()
    {
        const long rssEndKb = RssKb();
        std::printf("soak: figures%s\n"
                    "  duration           %lld s\n"
                    "  cycles             %d\n"
                    "  searches           %d\n"
                    "  parameter reads    %d\n"
                    "  latches            %d (and %d latch read-backs)\n"
                    "  samples streamed   %llu (%llu received while recording)\n"
                    "  samples recorded   %llu\n"
                    "  not received       %llu samples in %d runs\n"
                    "  memory start/end   %ld kB / %ld kB (sampled min %ld kB, max %ld kB)\n"
                    "  heap in use        %ld kB at start, %ld kB at the end\n"
                    "  message boxes      %zu\n"
                    "  error texts        %zu\n",
                    finished ? "" : " (run stopped by a failure)",
                    static_cast<long long>(clock.elapsed() / 1000), figures.cycles, figures.searches,
                    figures.reads, figures.latches, figures.latchReads,
                    static_cast<unsigned long long>(figures.streamed),
                    static_cast<unsigned long long>(figures.streamedWhileRecording),
                    static_cast<unsigned long long>(figures.recorded),
                    static_cast<unsigned long long>(figures.notReceived), figures.lossEvents,
                    figures.rssStartKb, rssEndKb, figures.rssMinKb, figures.rssMaxKb, heapStartKb,
                    HeapInUseKb(), closer ? closer->seen().size() : 0u, form->Errors().size());
        if (closer) {
            for (const ModalCloser::Seen& box : closer->seen())
                std::printf("  box at %lld ms: %s\n", box.atMs, box.text.toUtf8().constData());
        }
        for (const QString& text : form->Errors())
            std::printf("  error text: %s\n", text.toUtf8().constData());
        std::printf("soak: status texts shown\n");
        for (const auto& [text, times] : form->Shown())
            std::printf("  %6d  \"%s\"\n", times, text.toUtf8().constData());
        std::fflush(stdout);
    }

    QTemporaryDir work;
    QTemporaryDir program;
    SimBus bus;
    int slowSensor = -1;
    int fastSensor = -1;
    std::unique_ptr<SoakForm> form;
    Figures figures;
    std::unique_ptr<ModalCloser> closer;
    QElapsedTimer clock;
    long heapStartKb = 0;
    bool finished = false;

  private:
    QLocale savedLocale_;
};

TEST_F(SoakTest, StreamRecordSearchReadAndLatchInTurnForTheWholeRun)
{
    const int seconds = SoakSeconds();
    const int streamMs = std::clamp(seconds / 6, 10, 45) * 1000;
    closer = std::make_unique<ModalCloser>(form.get());
    clock.start();
    figures.rssStartKb = RssKb();
    heapStartKb = HeapInUseKb();
    Sample();
    std::printf("soak: %d s, streams of %d s at %d baud, memory at start %ld kB\n", seconds, streamMs / 1000,
                FastSpeed, figures.rssStartKb);
    std::fflush(stdout);

    long baselineKb = 0;
    long heapBaselineKb = 0;
    double cpuBefore = ProcessCpuSeconds();
    // How late the main thread's event loop comes round: a pause longer than the system's queue
    // holds at this line speed loses bytes on any program.
    qint64 longestPauseMs = 0;
    QElapsedTimer tick;
    tick.start();
    QTimer pauseWatch;
    QObject::connect(&pauseWatch, &QTimer::timeout,
                     [&] { longestPauseMs = std::max(longestPauseMs, tick.restart()); });
    pauseWatch.start(20);
    int warmUpPoints = 0;
    while (clock.elapsed() < seconds * 1000LL) {
        ++figures.cycles;
        const std::string cycle = "cycle " + std::to_string(figures.cycles);
        SCOPED_TRACE(cycle);
        ASSERT_NO_FATAL_FAILURE(Search());
        ASSERT_NO_FATAL_FAILURE(ReadParams(SlowAddress));
        ASSERT_NO_FATAL_FAILURE(ReadParams(FastAddress));
        ASSERT_NO_FATAL_FAILURE(Latch());
        int points = 0;
        ASSERT_NO_FATAL_FAILURE(StreamAndRecord(streamMs, &points));
        Sample();

        // Measured with the chart full, as at the end of every cycle.
        const long kb = RssKb();
        const long heapKb = HeapInUseKb();
        if (figures.cycles <= WarmUpCycles) {
            baselineKb = std::max(baselineKb, kb);
            heapBaselineKb = std::max(heapBaselineKb, heapKb);
            warmUpPoints = std::max(warmUpPoints, points);
        }
        const long explainedKb =
            std::max(0L, static_cast<long>(points - warmUpPoints) * BytesPerPoint / 1024);
        const double cpu = ProcessCpuSeconds();
        std::printf(
            "soak: %s at %lld s: memory %ld kB (heap in use %ld kB), chart %d points, streamed %llu, "
            "recorded %llu, texts %zu, boxes %zu; cpu %.1f s, longest event-loop pause %lld ms, load %s\n",
            cycle.c_str(), static_cast<long long>(clock.elapsed() / 1000), kb, heapKb, points,
            static_cast<unsigned long long>(figures.streamed),
            static_cast<unsigned long long>(figures.recorded), form->Errors().size(), closer->seen().size(),
            cpu - cpuBefore, longestPauseMs, LoadAverage().c_str());
        std::fflush(stdout);
        cpuBefore = cpu;
        longestPauseMs = 0;
        if (figures.cycles > WarmUpCycles) {
            ASSERT_LE(kb, baselineKb + explainedKb + SlackKb)
                << "memory grew beyond the chart: baseline " << baselineKb << " kB, chart " << explainedKb
                << " kB more";
            ASSERT_LE(heapKb, heapBaselineKb + explainedKb + SlackKb)
                << "heap grew beyond the chart: baseline " << heapBaselineKb << " kB, chart " << explainedKb
                << " kB more";
        }
    }
    finished = true;
    EXPECT_EQ(figures.recorded, figures.streamedWhileRecording);
    EXPECT_EQ(figures.notReceived, 0u) << "streamed samples that never reached the window";
    EXPECT_TRUE(closer->seen().empty()) << "message boxes";
    EXPECT_TRUE(form->Errors().empty()) << "error texts";
    EXPECT_GE(figures.cycles, 1);
}

} // namespace
