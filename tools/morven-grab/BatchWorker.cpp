#include "tools/morven-grab/BatchWorker.h"

#include "tools/morven-grab/FrameGrabber.h"
#include "tools/morven-grab/WorkerChannel.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace grab {

namespace {

// Reads the next record from standard input; false at its end.
bool nextJob(RecordBuffer& buffer, std::vector<std::string>& fields)
{
    char bytes[4096];
    while (!buffer.next(2, fields)) {
        const ssize_t n = ::read(0, bytes, sizeof bytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        buffer.append(bytes, static_cast<std::size_t>(n));
    }
    return true;
}

// The reason as a batch reports it (the file's name is on the line already), with
// what the component and FFmpeg said meanwhile: the runtime writes the component's
// message boxes to standard error and answers them itself.
std::string reasonFor(const GrabOutcome& outcome, const std::string& said, const std::string& partial,
                      const std::string& output)
{
    std::string reason = outcome.reason;
    // A write names the file it was writing, which is the image's hidden first name.
    for (std::size_t at; !partial.empty() && (at = reason.find(partial)) != std::string::npos;)
        reason.replace(at, partial.size(), output);
    const std::string line = diagnosticsLine(said);
    if (!line.empty())
        reason += " (" + line + ")";
    return reason;
}

} // namespace

int runWorker(bool flip)
{
    // Ended with the batch, even when it is killed; Ctrl-C is the batch's to handle.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::signal(SIGINT, SIG_IGN);
    // Replies get a descriptor of their own: whatever else writes to standard
    // output (a library's message) goes to standard error, which the batch reads.
    const int replies = fcntl(1, F_DUPFD_CLOEXEC, 3);
    if (replies < 0 || dup2(2, 1) < 0)
        return kNoObject;

    FrameGrabber grabber;
    std::string error;
    const int created = grabber.create(error);
    if (!writeAll(replies, encodeRecord({std::to_string(created), error})) || created != kSuccess)
        return created == kSuccess ? 0 : created;

    RecordBuffer buffer;
    std::vector<std::string> job;
    const long pid = static_cast<long>(getpid());
    while (nextJob(buffer, job)) {
        const std::string& input = job[0];
        const std::string& output = job[1];
        // Written under a hidden name and renamed when whole, so that an image under
        // its own name is always complete, even when this worker is ended halfway.
        const std::string partial = partialImagePath(output, pid);
        GrabOutcome outcome = grabber.grab(input, flip, partial, "");
        if (outcome.code == kSuccess && std::rename(partial.c_str(), output.c_str()) != 0) {
            outcome.code = kNotWritten;
            outcome.reason = "cannot write " + output + ": " + std::strerror(errno);
            std::remove(partial.c_str());
        }
        std::fflush(stderr);
        const std::string said = takeAll(2);
        const std::string reason = outcome.code == kSuccess ? "" : reasonFor(outcome, said, partial, output);
        if (!writeAll(replies, encodeRecord({std::to_string(outcome.code), reason})))
            break;
    }
    return 0;
}

} // namespace grab
