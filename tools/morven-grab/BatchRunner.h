// The parent of a batch: starts worker processes (morven-grab --worker), hands
// each one file at a time, bounds each file in time, replaces a worker that dies
// or stalls, and reports: a 'failed:' line per file that gave no image and a
// closing 'summary:' line on standard output, progress on a terminal.
#pragma once

#include "tools/morven-grab/BatchJobs.h"

#include <vector>

namespace grab {

struct BatchSettings {
    int workers = 1;
    double timeoutSeconds = 30;
    bool flip = false;
    bool progress = false; // redraw a progress line on standard error
};

// Runs every job; returns morven-grab's exit code for the batch.
int runBatch(const std::vector<BatchJob>& jobs, const BatchSettings& settings);

// Worker processes when -j is not given: the processors this process may run on.
int defaultWorkerCount();

} // namespace grab
