// A batch's worker process (morven-grab --worker): loads the component once and
// grabs the files its batch sends on standard input, one after another, each a
// whole capture cycle, answering each on standard output (see WorkerChannel.h).
// Its standard error is a file of the batch's, read after each file.
#pragma once

namespace grab {

// Returns when the batch closes its end: 0, or 2 when the object cannot be created.
int runWorker(bool flip);

} // namespace grab
