#include "cli/consolerun.h"

#include <QElapsedTimer>

#include <csignal>
#include <mutex>

#include "cli/console.h"

namespace ConsoleRun {

namespace {

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int sig)
{
    interrupted = true;
    // A second Ctrl-C ends the program at once.
    std::signal(sig, SIG_DFL);
}

QString refusalText(const Convert::Request &r)
{
    switch (r.refusal) {
    case Convert::Refusal::ReplacesItself:
        return QStringLiteral("the output would replace the input; name it with -o to do that");
    case Convert::Refusal::ReplacesInput:
        return QStringLiteral("the output %1 would replace the input %2").arg(Console::shown(r.output), Console::shown(r.other));
    case Convert::Refusal::AlreadyMade:
        return QStringLiteral("the output %1 is already made from %2").arg(Console::shown(r.output), Console::shown(r.other));
    case Convert::Refusal::None:
        break;
    }
    return QString();
}

QString failureText(const Convert::Request &r, const Convert::Outcome &o)
{
    switch (o.kind) {
    case Convert::Outcome::Written:
        return QString();
    case Convert::Outcome::StrictRefused:
        return QStringLiteral("not written (--strict): %1").arg(o.loss.text());
    case Convert::Outcome::Refused:
        return refusalText(r);
    case Convert::Outcome::Failed:
        break;
    }
    return o.failure.isEmpty() ? QStringLiteral("failed") : o.failure;
}

// Failure lines, warnings and the progress line share stderr (the engine calls one at a time):
// the progress line is wiped before anything else is printed.
class Reporter : public Convert::Listener
{
public:
    Reporter(int total, const QString &sourceless)
        : total_(total), progress_(Console::stderrIsTerminal() && total > 1), sourceless_(sourceless)
    {
        clock_.start();
    }

    void finished(std::size_t, const Convert::Request &r, const Convert::Outcome &o) override
    {
        ++done_;
        for (const QString &change : o.deviceChanges)
            print(QStringLiteral("%1: warning: %2\n").arg(Console::shown(r.output), change));
        const QString written = o.output.isEmpty() ? r.output : o.output;
        if (o.loss.any() && o.kind != Convert::Outcome::StrictRefused)
            print(QStringLiteral("%1: warning: %2\n").arg(Console::shown(written), o.loss.text()));
        if (!o.writeWarning.isEmpty())
            print(QStringLiteral("%1: warning: %2\n").arg(Console::shown(written), o.writeWarning));
        const QString failure = failureText(r, o);
        if (!failure.isEmpty()) {
            ++failed_;
            print(QStringLiteral("%1: %2\n").arg(r.input.isEmpty() ? sourceless_ : Console::shown(r.input), failure));
        }
        if (progress_ && (done_ == total_ || clock_.elapsed() - lastShown_ >= 100 || !failure.isEmpty())) {
            lastShown_ = clock_.elapsed();
            QString line = QStringLiteral("\rconverted %1/%2").arg(done_).arg(total_);
            if (failed_ > 0)
                line += QStringLiteral(" (%1 failed)").arg(failed_);
            Console::err(line);
            shown_ = true;
        }
    }

    void end() { clearLine(); }

private:
    void print(const QString &text)
    {
        clearLine();
        Console::err(text);
    }

    void clearLine()
    {
        if (shown_)
            Console::err(QStringLiteral("\r\x1b[K"));
        shown_ = false;
    }

    const int total_;
    const bool progress_;
    const QString sourceless_;   // names a source without a file (a profile pair)
    int done_ = 0;
    int failed_ = 0;
    bool shown_ = false;
    QElapsedTimer clock_;
    qint64 lastShown_ = -1000;
};

}

int convert(const std::vector<Convert::Request> &requests, const Formats::Format &format,
            const Convert::Settings &settings, int threads)
{
    interrupted = false;
    auto previous = std::signal(SIGINT, onInterrupt);
    auto previousTerm = std::signal(SIGTERM, onInterrupt);

    Reporter reporter(int(requests.size()), settings.profilesName);
    const Convert::BatchResult r = Convert::run(requests, format, settings, threads, reporter, interrupted);
    reporter.end();

    std::signal(SIGINT, previous == SIG_ERR ? SIG_DFL : previous);
    std::signal(SIGTERM, previousTerm == SIG_ERR ? SIG_DFL : previousTerm);

    if (r.notRun > 0) {
        Console::err(QStringLiteral("interrupted: %1 of %2 files were not converted\n").arg(r.notRun).arg(r.total));
        return Console::Interrupted;
    }
    return r.failed > 0 ? Console::SomeFailed : Console::Ok;
}

}
