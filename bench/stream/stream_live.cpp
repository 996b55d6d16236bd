// Ten seconds of a counter stream at 921600 baud from the simulated bus into the offscreen window
// with the chart live: how many samples reach the chart of those sent, and the CPU the main thread
// and the whole process take meanwhile.
// Usage: bench_stream_live [seconds]   (Release build)
#include "LiveStream.h"
#include <QApplication>

int main(int argc, char** argv)
{
    LiveStream::Offscreen();
    QApplication app(argc, argv);
    const int seconds = LiveStream::Seconds(argc, argv);
    LiveStream::TBench bench;
    if (!bench.Start())
        return 1;
    const LiveStream::TRun run = bench.Stream(seconds);
    std::printf("stream at %d baud for %d s: %d of %llu samples on the chart, %d out of order\n",
                LiveStream::Speed, seconds, run.Shown, static_cast<unsigned long long>(run.Sent),
                run.Disorder);
    std::printf("CPU while streaming: main thread %.1f %%, process %.1f %% (the simulator's thread %.1f %% "
                "besides) of one core\n",
                run.MainShare(), run.ProcessShare(), run.SimShare());
    return run.Sent > 0 ? 0 : 1;
}
