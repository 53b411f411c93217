// morven-grab: a host of the capture component. Creates MORVEN.CMORVENProc through
// COM, grabs the first frame of a video and writes it as an image; or, for a batch,
// does that in worker processes, one file after another in each.
#include "tools/morven-grab/FrameGrabber.h"
#include "tools/morven-grab/FrameWriter.h"
#include "tools/morven-grab/GrabOptions.h"

#include <cstdio>
#include <memory>
#include <string>

#ifdef _WIN32
#include "tools/morven-grab/ComponentMessages.h"
#else
#include "tools/morven-grab/BatchJobs.h"
#include "tools/morven-grab/BatchRunner.h"
#include "tools/morven-grab/BatchWorker.h"

#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <unistd.h>
#endif

namespace {

using namespace grab;

int fail(int code, const std::string& message)
{
    std::fprintf(stderr, "morven-grab: %s\n", message.c_str());
    return code;
}

int grabOne(const GrabOptions& options)
{
    if (!canWriteImageAs(options.output))
        return fail(kBadArguments, "no image format is known for " + options.output + " (" + kImageFormats + ")");

    // On Windows the component's boxes are real dialogs: answered here unless the user
    // wants to see them. The Linux runtime writes them to standard error by itself.
#ifdef _WIN32
    std::unique_ptr<ComponentMessages> messages;
    if (!options.interactive)
        messages = std::make_unique<ComponentMessages>();
#endif

    StepTimes times;
    GrabOutcome outcome;
    {
        FrameGrabber grabber;
        std::string error;
        const int created = times.time("create object", [&] { return grabber.create(error); });
        if (created != kSuccess)
            return fail(created, error);
        outcome = grabber.grab(options.video(), options.flip, options.output, options.raw, &times);
    }
    if (outcome.frame.width > 0)
        std::printf("%s: %dx%d, %d channels of %d bits, row pitch %zu bytes, rows %s\n", options.video().c_str(),
                    outcome.frame.width, outcome.frame.height, outcome.frame.channels, outcome.frame.depth,
                    rowPitch(outcome.frame), options.flip ? "top first" : "bottom first");
    if (outcome.code != kSuccess)
        return fail(outcome.code, outcome.message);
    times.print();
    std::printf("wrote %s\n", options.output.c_str());
    if (!options.raw.empty())
        std::printf("wrote %s (the buffer as handed out)\n", options.raw.c_str());
    return kSuccess;
}

#ifndef _WIN32
int grabBatch(const GrabOptions& options)
{
    // The pipes to the workers must not become standard streams of this process.
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) < 0)
            return fail(kBadArguments, "cannot open /dev/null");

    std::error_code ec;
    std::filesystem::create_directories(options.output, ec);
    if (!std::filesystem::is_directory(options.output))
        return fail(kNotWritten, "cannot make the output folder " + options.output +
                                     (ec ? ": " + ec.message() : ": a file of that name is in the way"));

    const std::vector<BatchJob> jobs = planBatch(
        options.inputs, [&] { return readPathList(std::cin, options.nullSeparated); }, options.output,
        extensionForFormat(options.format));

    BatchSettings settings;
    settings.workers = options.jobs > 0 ? options.jobs : defaultWorkerCount();
    settings.timeoutSeconds = options.timeoutSeconds;
    settings.flip = options.flip;
    settings.progress = isatty(2) != 0;
    return runBatch(jobs, settings);
}
#endif

} // namespace

int main(int argc, char** argv)
{
    GrabOptions options;
    std::string error;
    if (!parseGrabOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "morven-grab: %s\n%s", error.c_str(), kGrabUsage);
        return kBadArguments;
    }
    if (options.help) {
        std::fputs(kGrabUsage, stdout);
        return kSuccess;
    }
#ifdef _WIN32
    if (options.worker || options.batch)
        return fail(kBadArguments, "the Windows build grabs one video at a time: give one video and an image file");
#else
    if (options.worker)
        return runWorker(options.flip);
    if (options.batch)
        return grabBatch(options);
#endif
    return grabOne(options);
}
