#ifndef CLI_BATCH_H
#define CLI_BATCH_H

#include <QString>

#include <functional>
#include <vector>

// Runs many independent tasks (one per input file) on a number of threads. A failing task
// never stops the others: each failure is reported at once as "FILE: reason" on stderr. On a
// terminal a progress line shows how far the run has come. Ctrl-C lets the tasks that are
// running finish (so that no output is left half-written) and starts no new one.
namespace Batch {

struct Task {
    QString label;                       // the input as the user named it
    std::function<bool(QString *)> run;  // false with the reason
    QString refused;                     // non-empty: fails with this reason without running
};

struct Result {
    int failed = 0;
    int notRun = 0;   // left when the run was interrupted
};

Result run(std::vector<Task> &tasks, int threads, const QString &verb);

// Console status for a result: 0 all done, 1 some failed, 130 interrupted.
int status(const Result &result);

}

#endif
