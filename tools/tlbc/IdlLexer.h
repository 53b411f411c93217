// Splits an IDL file into tokens. Text is kept as the file's bytes; the code
// page only decides which bytes begin a double-byte character, so that a
// trail byte that happens to be a backslash is never read as an escape.
#pragma once

#include <string>
#include <vector>

namespace tlbc {

struct Token {
    enum Kind { Identifier, Number, String, Uuid, Punct, End } kind;
    std::string text;
    int line;
};

std::vector<Token> tokenize(const std::string& source, unsigned codePage);

} // namespace tlbc
