#include "studio/conversionrun.h"

#include <QMetaObject>

#include <utility>

#include "lut/platform.h"

class ConversionRun::Relay : public Convert::Listener
{
public:
    explicit Relay(ConversionRun *run) : run_(run) {}

    // Called on the worker that takes the file, which then gives way to the window's thread.
    void started(std::size_t index) override
    {
        thread_local bool lowered = false;
        if (!lowered) {
            Platform::lowerThreadPriority();
            lowered = true;
        }
        run_->report({int(index), false, Convert::Outcome()});
    }

    void finished(std::size_t index, const Convert::Request &, const Convert::Outcome &outcome) override
    {
        run_->report({int(index), true, outcome});
    }

private:
    ConversionRun *run_;
};

ConversionRun::ConversionRun(std::vector<Convert::Request> requests, const Formats::Format &format,
                             Convert::Settings settings, int threads, QObject *parent)
    : QObject(parent), requests_(std::move(requests)), format_(format), settings_(std::move(settings)), threads_(threads)
{
}

ConversionRun::~ConversionRun()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void ConversionRun::start()
{
    thread_ = std::thread([this]() {
        Relay relay(this);
        const Convert::BatchResult result = Convert::run(requests_, format_, settings_, threads_, relay, stop_);
        // Queued behind the last reports, so the window hears of every file first.
        QMetaObject::invokeMethod(this, [this, result]() {
            hand();
            emit finished(result);
        }, Qt::QueuedConnection);
    });
}

void ConversionRun::cancel()
{
    stop_ = true;
}

void ConversionRun::report(Report r)
{
    std::lock_guard<std::mutex> lock(mutex_);
    reports_.push_back(std::move(r));
    if (handing_)
        return;
    handing_ = true;
    QMetaObject::invokeMethod(this, [this]() { hand(); }, Qt::QueuedConnection);
}

void ConversionRun::hand()
{
    std::vector<Report> reports;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        reports.swap(reports_);
        handing_ = false;
    }
    for (const Report &r : reports) {
        if (r.finished)
            emit fileFinished(r.index, r.outcome);
        else
            emit fileStarted(r.index);
    }
}
