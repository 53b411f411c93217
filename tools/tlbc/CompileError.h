// The one way the compiler reports a problem with its input.
#pragma once

#include <stdexcept>
#include <string>

namespace tlbc {

class CompileError : public std::runtime_error {
public:
    CompileError(int line, const std::string& message) : std::runtime_error(message), m_line(line) {}
    // 0 when the problem belongs to no particular line.
    int line() const { return m_line; }

private:
    int m_line;
};

} // namespace tlbc
