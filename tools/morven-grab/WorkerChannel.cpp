#include "tools/morven-grab/WorkerChannel.h"

#include <cerrno>
#include <unistd.h>

namespace grab {

bool RecordBuffer::next(std::size_t count, std::vector<std::string>& fields)
{
    std::size_t end = 0;
    for (std::size_t i = 0; i < count; ++i) {
        end = pending_.find('\0', end);
        if (end == std::string::npos)
            return false;
        ++end;
    }
    fields.clear();
    std::size_t start = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t stop = pending_.find('\0', start);
        fields.push_back(pending_.substr(start, stop - start));
        start = stop + 1;
    }
    pending_.erase(0, end);
    return true;
}

std::string encodeRecord(const std::vector<std::string>& fields)
{
    std::string bytes;
    for (const std::string& field : fields) {
        // A NUL inside a field would shift every field after it.
        bytes.append(field.c_str());
        bytes.push_back('\0');
    }
    return bytes;
}

bool writeAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string takeAll(int fd)
{
    std::string text;
    char bytes[4096];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, bytes, sizeof bytes, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(bytes, static_cast<std::size_t>(n));
        at += n;
    }
    if (ftruncate(fd, 0) != 0)
        text += "\n(diagnostics could not be emptied)";
    return text;
}

std::string diagnosticsLine(const std::string& text)
{
    constexpr std::size_t kLongest = 400;
    std::string line;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string part = text.substr(start, end - start);
        start = end + 1;
        if (!part.empty() && part[0] == '[') {
            const std::size_t close = part.find("] ");
            if (close != std::string::npos && part.find(" @ 0x") < close)
                part.erase(0, close + 2);
        }
        while (!part.empty() && (part.back() == '\r' || part.back() == ' '))
            part.pop_back();
        if (part.empty())
            continue;
        line += (line.empty() ? "" : "; ") + part;
    }
    if (line.size() > kLongest)
        line = "..." + line.substr(line.size() - kLongest);
    return line;
}

std::string partialImagePath(const std::string& output, long pid)
{
    const std::size_t slash = output.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : output.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? output : output.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    return dir + "." + name + "." + std::to_string(pid) + extension;
}

} // namespace grab
