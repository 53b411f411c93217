#include "tests/platform/api/Conformance.h"

#include <cstdio>
#ifndef _WIN32
#include <thread>
#endif

namespace apitest {
namespace {

struct Counts {
    unsigned checks = 0;
    unsigned failed = 0;
    unsigned marked = 0;
    unsigned markedUnseen = 0;
};

Counts g_counts;

// The innermost mark around the running code, or null.
thread_local const Difference* t_mark = nullptr;

// Prints the totals once the whole run is over, as the platform's own test runs do.
class Summary : public ::testing::Environment {
public:
    void TearDown() override
    {
        std::printf("api conformance: %u checks, %u marked differences seen, %u failed (%u marks not seen)\n",
                    g_counts.checks, g_counts.marked, g_counts.failed, g_counts.markedUnseen);
    }
};

const bool g_summary = (::testing::AddGlobalTestEnvironment(new Summary), true);

} // namespace

bool runningOn(Side side)
{
#ifdef _WIN32
    if (side != Side::Wine)
        return false;
    static const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
#else
    return side == Side::LinuxRuntime;
#endif
}

Check::Check(bool passed, const char* file, int line, const char* expression)
    : m_passed(passed), m_file(file), m_line(line), m_expression(expression)
{
}

Check::~Check()
{
    ++g_counts.checks;
    const Difference* mark = Difference::active();
    if (mark) {
        if (!m_passed) {
            ++g_counts.marked;
            return;
        }
        ++g_counts.failed;
        ++g_counts.markedUnseen;
        ADD_FAILURE_AT(m_file, m_line) << "marked difference not seen (" << mark->reason() << "): " << m_expression
                                       << " holds here";
        return;
    }
    if (m_passed)
        return;
    ++g_counts.failed;
    ADD_FAILURE_AT(m_file, m_line) << m_expression << ": " << m_message.str();
}

Difference::Difference(Side side, const char* reason) : m_side(side), m_reason(reason), m_outer(t_mark)
{
    t_mark = this;
}

const Difference* Difference::active()
{
    for (const Difference* mark = t_mark; mark; mark = mark->m_outer) {
        if (runningOn(mark->m_side))
            return mark;
    }
    return nullptr;
}

Difference::~Difference()
{
    t_mark = m_outer;
}

std::string hex(unsigned long long value)
{
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llx", value);
    return buffer;
}

std::string text(const OLECHAR* wide, size_t length)
{
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        unsigned c = static_cast<unsigned short>(wide[i]);
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%04x", c);
            out += escaped;
        }
    }
    return out;
}

std::string text(const OLECHAR* wide)
{
    if (!wide)
        return "(null)";
    size_t length = 0;
    while (wide[length])
        ++length;
    return text(wide, length);
}

OleString wide(const std::string& ascii)
{
    return OleString(ascii.begin(), ascii.end());
}

#ifdef _WIN32
namespace {

// A thread procedure has the platform's calling convention, which a lambda lacks on 32-bit.
DWORD WINAPI runBody(LPVOID parameter)
{
    reinterpret_cast<void (*)()>(parameter)();
    return 0;
}

} // namespace
#endif

void onNewThread(void (*body)())
{
#ifdef _WIN32
    HANDLE thread = CreateThread(nullptr, 0, runBody, reinterpret_cast<LPVOID>(body), 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
#else
    std::thread(body).join();
#endif
}

} // namespace apitest
