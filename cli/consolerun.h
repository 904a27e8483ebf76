#ifndef CLI_CONSOLERUN_H
#define CLI_CONSOLERUN_H

#include <vector>

#include "engine/convertjob.h"

// A batch of conversions run from the console. A failing file never stops the others: each
// failure is reported at once as "FILE: reason" on stderr, each loss as "OUT: warning: ...". On
// a terminal a progress line shows how far the run has come. Ctrl-C lets the files that are
// being written finish (so that no output is left half-written) and starts no new one.
namespace ConsoleRun {

// The console status: 0 all written, 1 some failed, 130 interrupted.
int convert(const std::vector<Convert::Request> &requests, const Formats::Format &format,
            const Convert::Settings &settings, int threads);

}

#endif
