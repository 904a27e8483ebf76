#ifndef ENGINE_WORKERS_H
#define ENGINE_WORKERS_H

#include <thread>
#include <vector>

// Run `work` on `count` threads, the calling one among them, and wait for all. Each call of
// `work` takes its share of the job from a counter it shares with the others.
template <typename Work>
void runWorkers(int count, Work work)
{
    std::vector<std::thread> pool;
    for (int i = 1; i < count; ++i)
        pool.emplace_back(work);
    work();
    for (std::thread &t : pool)
        t.join();
}

#endif
