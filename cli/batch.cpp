#include "cli/batch.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <mutex>

#include "cli/console.h"
#include "cli/workers.h"
#include "lut/samplelines.h"

namespace Batch {

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int sig)
{
    interrupted = 1;
    // A second Ctrl-C ends the program at once.
    std::signal(sig, SIG_DFL);
}

// Failure lines and the progress line share stderr: one writer at a time, and the progress
// line is wiped before anything else is printed.
class Reporter
{
public:
    Reporter(int total, const QString &verb)
        : total_(total), verb_(verb), progress_(Console::stderrIsTerminal() && total > 1)
    {
        clock_.start();
    }

    void finished(const QString &label, const QString &failure)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++done_;
        if (!failure.isEmpty()) {
            ++failed_;
            clearLine();
            Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(label), failure));
        }
        if (progress_ && (done_ == total_ || clock_.elapsed() - lastShown_ >= 100 || !failure.isEmpty())) {
            lastShown_ = clock_.elapsed();
            QString line = QStringLiteral("\r%1 %2/%3").arg(verb_).arg(done_).arg(total_);
            if (failed_ > 0)
                line += QStringLiteral(" (%1 failed)").arg(failed_);
            Console::err(line);
            shown_ = true;
        }
    }

    void end()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        clearLine();
    }

private:
    void clearLine()
    {
        if (shown_)
            Console::err(QStringLiteral("\r\x1b[K"));
        shown_ = false;
    }

    std::mutex mutex_;
    const int total_;
    const QString verb_;
    const bool progress_;
    int done_ = 0;
    int failed_ = 0;
    bool shown_ = false;
    QElapsedTimer clock_;
    qint64 lastShown_ = -1000;
};

}

Result run(std::vector<Task> &tasks, int threads, const QString &verb)
{
    interrupted = 0;
    auto previous = std::signal(SIGINT, onInterrupt);
    auto previousTerm = std::signal(SIGTERM, onInterrupt);

    Reporter reporter(int(tasks.size()), verb);
    std::atomic<std::size_t> next{0};
    std::atomic<int> failed{0};
    std::atomic<int> started{0};

    auto worker = [&]() {
        for (;;) {
            if (interrupted)
                return;
            const std::size_t i = next.fetch_add(1);
            if (i >= tasks.size())
                return;
            ++started;
            Task &t = tasks[i];
            QString why = t.refused;
            if (why.isEmpty() && !t.run(&why) && why.isEmpty())
                why = QStringLiteral("failed");
            if (!why.isEmpty())
                ++failed;
            reporter.finished(t.label, why);
        }
    };

    const int workers = std::max(1, std::min<int>(threads, int(tasks.size())));
    // Files converted side by side share the cores: each reads a large lattice in fewer
    // parts, down to one, which spares the cost of splitting it. A single worker leaves the
    // choice to the reader (the cores free of other work).
    SampleLines::setPartCount(workers > 1 ? std::max(1, QThread::idealThreadCount() / workers) : 0);
    runWorkers(workers, worker);
    reporter.end();

    std::signal(SIGINT, previous == SIG_ERR ? SIG_DFL : previous);
    std::signal(SIGTERM, previousTerm == SIG_ERR ? SIG_DFL : previousTerm);

    Result r;
    r.failed = failed;
    r.notRun = int(tasks.size()) - started;
    if (r.notRun > 0)
        Console::err(QStringLiteral("interrupted: %1 of %2 files were not %3\n").arg(r.notRun).arg(tasks.size()).arg(verb));
    return r;
}

int status(const Result &result)
{
    if (result.notRun > 0)
        return Console::Interrupted;
    return result.failed > 0 ? Console::SomeFailed : Console::Ok;
}

}
