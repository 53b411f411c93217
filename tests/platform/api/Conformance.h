// Checks in the manner of the platform's own conformance tests, for one source
// that runs against the real platform (under Wine) and against the Linux runtime.
//
//   ok(rc == ERROR_SUCCESS) << "got " << rc;
//
// A case where one side answers otherwise on purpose is marked, with its reason:
//
//   ON_LINUX_RUNTIME_DIFFERS("the ANSI code page is UTF-8") ok(len == 2) << len;
//   ON_WINE_DIFFERS("Wine accepts the flag")                ok(rc == 0) << rc;
//
// The expectation inside a mark is the platform's documented answer. On the side
// the mark names, that check must fail (a marked difference); a check that
// passes there fails the test, so a mark is dropped once the sides agree. On
// every other side the check is an ordinary one.
#pragma once

#include "platform/Automation.h"
#include "platform/Com.h"
#include "platform/Kernel.h"
#include "platform/Registry.h"
#include "platform/TypeLib.h"
#include "platform/UserInterface.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#ifndef OLESTR
#define OLESTR(text) u##text
#endif
#ifndef CHARS_IN_GUID
#define CHARS_IN_GUID 39
#endif

// Values no call writes, put into out-parameters and the last error before a
// call to see whether it wrote them.
#define SENTINEL_ERROR 0xdeadbeefu
#define SENTINEL_DWORD 0xdeadbeefu

namespace apitest {

typedef std::basic_string<OLECHAR> OleString;

enum class Side { None, LinuxRuntime, Wine };

// True when the program runs on the given side.
bool runningOn(Side side);

// One check: reports when it goes out of scope, with what was streamed into it.
class Check {
public:
    Check(bool passed, const char* file, int line, const char* expression);
    ~Check();
    Check(const Check&) = delete;
    Check& operator=(const Check&) = delete;

    template <class T> Check& operator<<(const T& value)
    {
        m_message << value;
        return *this;
    }

private:
    bool m_passed;
    const char* m_file;
    int m_line;
    const char* m_expression;
    std::ostringstream m_message;
};

// The scope of a mark; checks inside it on the named side are expected to fail.
class Difference {
public:
    Difference(Side side, const char* reason);
    ~Difference();
    Difference(const Difference&) = delete;
    Difference& operator=(const Difference&) = delete;

    // True once, so that a for statement runs its body one time.
    bool once() { return m_first ? (m_first = false, true) : false; }

    // The innermost mark around the running code that names this side, or null.
    static const Difference* active();
    const char* reason() const { return m_reason; }

private:
    Side m_side;
    const char* m_reason;
    bool m_first = true;
    const Difference* m_outer;
};

// Text for messages: numbers in hex, wide strings as UTF-8.
std::string hex(unsigned long long value);
std::string text(const OLECHAR* wide);
std::string text(const OLECHAR* wide, size_t length);
OleString wide(const std::string& ascii);

// Runs body on a thread of its own and waits for it, so that a test's apartment
// never carries over to another.
void onNewThread(void (*body)());

} // namespace apitest

#define ok(condition) ::apitest::Check(static_cast<bool>(condition), __FILE__, __LINE__, #condition)

#define APITEST_DIFFERS(side, reason) \
    for (::apitest::Difference apitest_difference(side, reason); apitest_difference.once();)
#define ON_LINUX_RUNTIME_DIFFERS(reason) APITEST_DIFFERS(::apitest::Side::LinuxRuntime, reason)
#define ON_WINE_DIFFERS(reason) APITEST_DIFFERS(::apitest::Side::Wine, reason)
