#ifndef STUDIO_BACKGROUND_H
#define STUDIO_BACKGROUND_H

#include <QMetaObject>
#include <QObject>
#include <QRunnable>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <utility>

#include "lut/platform.h"

// Work that would hold up the window (reading a LUT, drawing a preview, comparing) runs on a
// pool thread; its result comes back to `receiver` on the receiver's thread. The pool must be
// drained before the receiver goes (the window waits for it before its widgets are destroyed).
namespace Background {

template <typename Result>
void run(QThreadPool &pool, QObject *receiver, std::function<Result()> work, std::function<void(Result)> done)
{
    class Task : public QRunnable
    {
    public:
        Task(QObject *receiver, std::function<Result()> work, std::function<void(Result)> done)
            : receiver_(receiver), work_(std::move(work)), done_(std::move(done))
        {
        }
        void run() override
        {
            // Pool threads give way to the window's thread when the cores are busy.
            thread_local bool lowered = false;
            if (!lowered) {
                Platform::lowerThreadPriority();
                lowered = true;
            }
            auto result = std::make_shared<Result>(work_());
            auto done = done_;
            QMetaObject::invokeMethod(receiver_, [done, result]() { done(std::move(*result)); }, Qt::QueuedConnection);
        }

    private:
        QObject *receiver_;
        std::function<Result()> work_;
        std::function<void(Result)> done_;
    };
    pool.start(new Task(receiver, std::move(work), std::move(done)));
}

}

#endif
