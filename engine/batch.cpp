#include "engine/batch.h"

#include <QThread>

#include <algorithm>

#include "engine/workers.h"
#include "lut/samplelines.h"

namespace Batch {

std::size_t run(std::size_t count, int threads, const std::atomic<bool> &stop,
                const std::function<void(std::size_t)> &work)
{
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> started{0};
    auto worker = [&]() {
        for (;;) {
            if (stop.load())
                return;
            const std::size_t i = next.fetch_add(1);
            if (i >= count)
                return;
            ++started;
            work(i);
        }
    };

    const int workers = int(std::max<std::size_t>(1, std::min<std::size_t>(std::size_t(std::max(1, threads)), count)));
    // Files converted side by side share the cores: each reads a large lattice in fewer
    // parts, down to one, which spares the cost of splitting it. A single worker leaves the
    // choice to the reader (the cores free of other work).
    SampleLines::setPartCount(workers > 1 ? std::max(1, QThread::idealThreadCount() / workers) : 0);
    runWorkers(workers, worker);
    return started.load();
}

}
