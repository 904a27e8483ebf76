#ifndef STUDIO_CONVERSIONRUN_H
#define STUDIO_CONVERSIONRUN_H

#include <QObject>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/convertjob.h"

// One batch of conversions through the engine, off the window's thread. What the engine
// reports comes back as signals on the window's thread: reports that arrive while the window
// is busy are handed over together, so that a fast batch never floods its event queue.
// Cancelling lets the files being written finish and starts no new one.
class ConversionRun : public QObject
{
    Q_OBJECT
public:
    ConversionRun(std::vector<Convert::Request> requests, const Formats::Format &format, Convert::Settings settings,
                  int threads, QObject *parent = nullptr);
    // Cancels and waits for the files being written.
    ~ConversionRun() override;

    void start();
    void cancel();
    bool isCancelled() const { return stop_.load(); }
    const std::vector<Convert::Request> &requests() const { return requests_; }
    const Formats::Format &format() const { return format_; }
    const Convert::Settings &settings() const { return settings_; }

signals:
    void fileStarted(int index);
    void fileFinished(int index, const Convert::Outcome &outcome);
    void finished(const Convert::BatchResult &result);

private:
    class Relay;
    struct Report {
        int index;
        bool finished;
        Convert::Outcome outcome;
    };

    // From the engine's threads.
    void report(Report r);
    // On the window's thread: every report so far.
    void hand();

    std::vector<Convert::Request> requests_;
    const Formats::Format &format_;
    Convert::Settings settings_;
    int threads_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<Report> reports_;
    bool handing_ = false;   // a hand() is on its way
};

#endif
