// The studio as a user meets it. A folder of 200 LUTs added and converted while the window's
// thread is watched by a 5 ms timer: the longest gap between two of its ticks is the longest the
// window was unable to answer (`*_block_ms`), and the most processor time the thread spent
// between two ticks is how much of that was its own work (`*_busy_ms`; the rest is waiting for a
// core, which on a machine loaded by other work can be most of it). And the preview of a 33-point LUT drawn again,
// from the request to the drawing shown, at the size of a preview in a 1280x800 window and at a
// full-screen one.

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <ctime>

#include "gradedlut.h"
#include "lut/write_lutfile.h"
#include "studio/outputpanel.h"
#include "studio/previewview.h"
#include "studio/studiowindow.h"

namespace {

QTemporaryDir *workDir = nullptr;

QString workPath(const QString &name)
{
    return workDir->filePath(name);
}

// 200 graded .cube files, half of 17 points and half of 33.
bool writeInputs()
{
    if (!QDir().mkpath(workPath(QStringLiteral("in"))))
        return false;
    for (int n : {17, 33}) {
        Read_LUTFile lut;
        fillGraded(lut, n);
        for (int i = 0; i < 100; ++i) {
            LUTFILE_ST side;
            side.path = workPath(QStringLiteral("in/grade%1_%2.cube").arg(n).arg(i, 3, 10, QLatin1Char('0')));
            side.formatId = 0;
            Write_LUTFile writer;
            if (!writer.WriteFile(side, lut))
                return false;
        }
    }
    return true;
}

// Runs the event loop until `signal` of `sender` comes; false after a minute without it.
template <typename Signal>
bool waitFor(const typename QtPrivate::FunctionPointer<Signal>::Object *sender, Signal signal)
{
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, [&loop] { loop.exit(1); });
    QObject::connect(sender, signal, &loop, [&loop] { loop.exit(0); });
    timeout.start(60000);
    return loop.exec() == 0;
}

// The longest time between two ticks of a 5 ms timer on the window's thread.
class Watch
{
public:
    Watch()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed(), cpu = threadTime();
            longest_ = std::max(longest_, now - last_);
            busiest_ = std::max(busiest_, cpu - lastCpu_);
            last_ = now;
            lastCpu_ = cpu;
        });
    }
    void start()
    {
        longest_ = busiest_ = 0;
        clock_.start();
        last_ = 0;
        lastCpu_ = threadTime();
        timer_.start();
    }
    double busiestMs() const { return double(busiest_) / 1e6; }
    double longestMs()
    {
        timer_.stop();
        return double(std::max(longest_, clock_.nsecsElapsed() - last_)) / 1e6;
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
    qint64 lastCpu_ = 0;
    qint64 busiest_ = 0;

    // The processor time of the calling thread, in nanoseconds.
    static qint64 threadTime()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
    }
};

void BM_Studio_AddAndConvert200(benchmark::State &state)
{
    for (auto _ : state) {
        StudioWindow window;
        window.show();
        Watch watch;
        QElapsedTimer clock;
        clock.start();
        watch.start();
        window.addPaths({workPath(QStringLiteral("in"))});
        if (!waitFor(&window, &StudioWindow::readingFinished)) {
            state.SkipWithError("the files were not read");
            return;
        }
        state.counters["read_block_ms"] = watch.longestMs();
        state.counters["read_busy_ms"] = watch.busiestMs();
        state.counters["read_s"] = double(clock.elapsed()) / 1000.0;

        window.panel->formatBox->setCurrentIndex(window.panel->formatBox->findData(QStringLiteral("spi3d")));
        window.panel->sizeBox->setCurrentIndex(window.panel->sizeBox->findData(33));
        window.panel->setFolder(workPath(QStringLiteral("out")));
        clock.start();
        watch.start();
        window.actions.convert->trigger();
        if (!waitFor(&window, &StudioWindow::conversionFinished)) {
            state.SkipWithError("the conversion did not end");
            return;
        }
        state.counters["convert_block_ms"] = watch.longestMs();
        state.counters["convert_busy_ms"] = watch.busiestMs();
        state.counters["convert_s"] = double(clock.elapsed()) / 1000.0;
        state.SetIterationTime(double(clock.elapsed()) / 1000.0);
    }
}
BENCHMARK(BM_Studio_AddAndConvert200)->Iterations(1)->Unit(benchmark::kSecond)->UseManualTime();

void BM_Studio_Redraw33(benchmark::State &state)
{
    StudioWindow window;
    window.resize(int(state.range(0)), int(state.range(1)));
    window.show();
    window.addPaths({workPath(QStringLiteral("in/grade33_000.cube"))});
    if (!waitFor(window.preview, &PreviewView::drawn)) {
        state.SkipWithError("the preview was not drawn");
        return;
    }
    qint64 took = 0;
    QObject::connect(window.preview, &PreviewView::drawn, [&took](qint64 ms) { took = ms; });
    double longest = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        window.preview->redraw();
        if (!waitFor(window.preview, &PreviewView::drawn)) {
            state.SkipWithError("the preview was not drawn");
            return;
        }
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        longest = std::max(longest, seconds * 1000.0);
        state.SetIterationTime(seconds);
    }
    state.counters["longest_ms"] = longest;
    state.counters["drawing_w"] = window.preview->drawing().width();
    state.counters["drawing_h"] = window.preview->drawing().height();
}
BENCHMARK(BM_Studio_Redraw33)->Args({1280, 800})->Args({1920, 1080})->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(30);

}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));

    QTemporaryDir dir;
    workDir = &dir;
    // The window's saved choices stay out of the user's settings.
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, workPath(QStringLiteral("settings")));
    if (!dir.isValid() || !writeInputs())
        return 1;

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
