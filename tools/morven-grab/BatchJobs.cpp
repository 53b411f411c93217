#include "tools/morven-grab/BatchJobs.h"

#include "tools/morven-grab/GrabOptions.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

namespace grab {

namespace fs = std::filesystem;

namespace {

struct Found {
    std::string input;
    fs::path folder; // where the image goes, relative to the output folder
    std::string problem;
};

bool hidden(const fs::path& path)
{
    const std::string name = path.filename().string();
    return !name.empty() && name[0] == '.';
}

// The identity of a file for finding it twice: its canonical path.
std::string identityOf(const std::string& path)
{
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(path, ec);
    return ec ? fs::absolute(path, ec).lexically_normal().string() : canonical.string();
}

// Depth first, each folder's entries in the order of their names. Links to folders
// are not followed, so that no loop of links is walked for ever.
void walkFolder(const fs::path& folder, const fs::path& relative, const fs::path& outputDir,
                std::vector<Found>& found)
{
    std::error_code ec;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(*it);
    if (ec) {
        found.push_back({folder.string(), relative, "cannot read the folder: " + ec.message()});
        return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const fs::directory_entry& a, const fs::directory_entry& b) { return a.path() < b.path(); });
    for (const fs::directory_entry& entry : entries) {
        if (hidden(entry.path()))
            continue;
        std::error_code typeError;
        const bool link = entry.is_symlink(typeError);
        if (entry.is_directory(typeError)) {
            std::error_code same;
            if (!link && !fs::equivalent(entry.path(), outputDir, same))
                walkFolder(entry.path(), relative / entry.path().filename(), outputDir, found);
        } else if (entry.is_regular_file(typeError)) {
            found.push_back({entry.path().string(), relative, ""});
        } else if (link && !entry.exists(typeError)) {
            found.push_back({entry.path().string(), relative, "a link to nothing"});
        }
    }
}

void addInput(const std::string& input, const fs::path& outputDir, std::vector<Found>& found)
{
    std::error_code ec;
    const fs::file_status status = fs::status(input, ec);
    if (fs::is_directory(status)) {
        walkFolder(input, {}, outputDir, found);
        return;
    }
    if (!fs::exists(status))
        found.push_back({input, {}, ec && ec != std::errc::no_such_file_or_directory ? ec.message()
                                                                                     : "no such file or folder"});
    else
        found.push_back({input, {}, ""});
}

std::string key(const fs::path& path)
{
    return path.lexically_normal().string();
}

} // namespace

std::vector<std::string> readPathList(std::istream& in, bool nullSeparated)
{
    std::vector<std::string> paths;
    std::string line;
    while (std::getline(in, line, nullSeparated ? '\0' : '\n')) {
        if (!nullSeparated && !line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            paths.push_back(line);
    }
    return paths;
}

std::vector<BatchJob> planBatch(const std::vector<std::string>& inputs,
                                const std::function<std::vector<std::string>()>& readList,
                                const std::string& outputDir, const std::string& extension)
{
    std::vector<Found> found;
    bool listRead = false;
    for (const std::string& input : inputs) {
        if (input != "-") {
            addInput(input, outputDir, found);
        } else if (!listRead) {
            listRead = true;
            for (const std::string& listed : readList())
                addInput(listed, outputDir, found);
        }
    }

    // Each file once; the set of inputs, which no image may replace.
    std::vector<Found> files;
    std::set<std::string> identities;
    for (Found& f : found)
        if (identities.insert(identityOf(f.input)).second)
            files.push_back(std::move(f));

    const fs::path outputRoot = fs::path(identityOf(outputDir));
    auto natural = [&](const Found& f) {
        return f.folder / imageNameFor(fs::path(f.input).filename().string(), extension);
    };
    auto replacesInput = [&](const fs::path& relative) {
        return identities.count(key(outputRoot / relative)) != 0;
    };
    std::map<std::string, int> uses;
    for (const Found& f : files)
        ++uses[key(natural(f))];

    std::set<std::string> taken;
    std::vector<bool> plain(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const fs::path name = natural(files[i]);
        plain[i] = uses[key(name)] == 1 && !replacesInput(name);
        if (plain[i])
            taken.insert(key(name));
    }

    std::vector<BatchJob> jobs;
    jobs.reserve(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Found& f = files[i];
        fs::path relative = natural(f);
        if (!plain[i]) {
            const std::string whole = fs::path(f.input).filename().string();
            relative = f.folder / (whole + extension);
            for (int n = 2; taken.count(key(relative)) || replacesInput(relative); ++n)
                relative = f.folder / (whole + "-" + std::to_string(n) + extension);
            taken.insert(key(relative));
        }
        jobs.push_back({f.input, (fs::path(outputDir) / relative).string(), f.problem});
    }
    return jobs;
}

} // namespace grab
