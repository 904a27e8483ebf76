#ifndef BENCHMAIN_H
#define BENCHMAIN_H

#include <benchmark/benchmark.h>

#include <QLoggingCategory>

// Benchmarks measure the work, not the readers' diagnostic output.
#define LUTWRIGHT_BENCH_MAIN()                                      \
    int main(int argc, char **argv)                                 \
    {                                                               \
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false")); \
        benchmark::Initialize(&argc, argv);                         \
        benchmark::RunSpecifiedBenchmarks();                        \
        benchmark::Shutdown();                                      \
        return 0;                                                   \
    }

#endif
