// Checks that texts are valid in the code page the library stores them in.
#pragma once

#include <string>

namespace tlbc {

// The converter's name for a Windows code page, or empty when unknown.
std::string converterName(unsigned codePage);

class CodePageCheck {
public:
    // Throws CompileError when the code page cannot be checked.
    explicit CodePageCheck(unsigned codePage);
    ~CodePageCheck();
    CodePageCheck(const CodePageCheck&) = delete;
    CodePageCheck& operator=(const CodePageCheck&) = delete;

    bool valid(const std::string& text) const;

private:
    void* m_converter;
};

} // namespace tlbc
