#include "studio/conversionrun.h"

#include <QMetaObject>

#include <utility>

// The engine's listener: each report is handed to the run's own thread.
class ConversionRun::Relay : public Convert::Listener
{
public:
    explicit Relay(ConversionRun *run) : run_(run) {}

    void started(std::size_t index) override
    {
        ConversionRun *run = run_;
        QMetaObject::invokeMethod(run, [run, index]() { emit run->fileStarted(int(index)); }, Qt::QueuedConnection);
    }

    void finished(std::size_t index, const Convert::Request &, const Convert::Outcome &outcome) override
    {
        ConversionRun *run = run_;
        QMetaObject::invokeMethod(run, [run, index, outcome]() { emit run->fileFinished(int(index), outcome); },
                                  Qt::QueuedConnection);
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
        QMetaObject::invokeMethod(this, [this, result]() { emit finished(result); }, Qt::QueuedConnection);
    });
}

void ConversionRun::cancel()
{
    stop_ = true;
}
