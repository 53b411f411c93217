// The IDL tokenizer.
#include "tools/tlbc/IdlLexer.h"

#include "tools/tlbc/CompileError.h"

#include <cctype>

namespace tlbc {
namespace {

bool isLeadByte(unsigned codePage, unsigned char c)
{
    switch (codePage) {
    case 932:
        return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    case 936:
    case 949:
    case 950:
        return c >= 0x81 && c <= 0xFE;
    default:
        return false;
    }
}

bool isIdentifierStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool isIdentifierChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

class Lexer {
public:
    Lexer(const std::string& source, unsigned codePage) : m_src(source), m_codePage(codePage) {}

    std::vector<Token> run()
    {
        while (true) {
            skipSpaceAndComments();
            if (m_pos >= m_src.size())
                break;
            char c = m_src[m_pos];
            if (c == '#')
                throw CompileError(m_line, "preprocessor directives are not supported");
            if (afterUuidParen() && c != '"')
                push(Token::Uuid, rawUntilParen());
            else if (isIdentifierStart(c))
                push(Token::Identifier, take(isIdentifierChar));
            else if (std::isdigit(static_cast<unsigned char>(c)))
                push(Token::Number, take([](char ch) { return isIdentifierChar(ch) || ch == '.'; }));
            else if (c == '"')
                push(Token::String, stringLiteral());
            else if (std::string("[](){};,:*=").find(c) != std::string::npos)
                push(Token::Punct, std::string(1, m_src[m_pos++]));
            else
                throw CompileError(m_line, std::string("unexpected character '") + c + "'");
        }
        m_tokens.push_back({Token::End, "", m_line});
        return std::move(m_tokens);
    }

private:
    void push(Token::Kind kind, std::string text) { m_tokens.push_back({kind, std::move(text), m_line}); }

    template <typename Pred>
    std::string take(Pred pred)
    {
        size_t start = m_pos;
        while (m_pos < m_src.size() && pred(m_src[m_pos]))
            ++m_pos;
        return m_src.substr(start, m_pos - start);
    }

    void skipSpaceAndComments()
    {
        while (m_pos < m_src.size()) {
            char c = m_src[m_pos];
            if (c == '\n') {
                ++m_line;
                ++m_pos;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++m_pos;
            } else if (m_src.compare(m_pos, 2, "//") == 0) {
                while (m_pos < m_src.size() && m_src[m_pos] != '\n')
                    ++m_pos;
            } else if (m_src.compare(m_pos, 2, "/*") == 0) {
                size_t end = m_src.find("*/", m_pos + 2);
                if (end == std::string::npos)
                    throw CompileError(m_line, "unterminated comment");
                for (size_t i = m_pos; i < end; ++i)
                    m_line += m_src[i] == '\n';
                m_pos = end + 2;
            } else {
                break;
            }
        }
    }

    // A uuid is written bare, and its digits and dashes are no ordinary tokens.
    bool afterUuidParen() const
    {
        size_t n = m_tokens.size();
        return n >= 2 && m_tokens[n - 1].kind == Token::Punct && m_tokens[n - 1].text == "(" &&
               m_tokens[n - 2].kind == Token::Identifier && m_tokens[n - 2].text == "uuid";
    }

    std::string rawUntilParen()
    {
        size_t end = m_src.find(')', m_pos);
        if (end == std::string::npos)
            throw CompileError(m_line, "unterminated uuid");
        std::string text = m_src.substr(m_pos, end - m_pos);
        m_pos = end;
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
            text.pop_back();
        return text;
    }

    std::string stringLiteral()
    {
        int startLine = m_line;
        std::string text;
        ++m_pos; // opening quote
        while (true) {
            if (m_pos >= m_src.size() || m_src[m_pos] == '\n')
                throw CompileError(startLine, "unterminated string");
            auto c = static_cast<unsigned char>(m_src[m_pos]);
            if (isLeadByte(m_codePage, c)) {
                if (m_pos + 1 >= m_src.size() || m_src[m_pos + 1] == '\n')
                    throw CompileError(m_line, "string ends inside a double-byte character");
                text += m_src.substr(m_pos, 2);
                m_pos += 2;
            } else if (c == '"') {
                ++m_pos;
                return text;
            } else if (c == '\\') {
                if (m_pos + 1 >= m_src.size())
                    throw CompileError(m_line, "unterminated string");
                char e = m_src[m_pos + 1];
                switch (e) {
                case '\\': text += '\\'; break;
                case '"': text += '"'; break;
                case 'n': text += '\n'; break;
                case 't': text += '\t'; break;
                case 'r': text += '\r'; break;
                default:
                    throw CompileError(m_line, std::string("unsupported escape \\") + e);
                }
                m_pos += 2;
            } else {
                text += static_cast<char>(c);
                ++m_pos;
            }
        }
    }

    const std::string& m_src;
    unsigned m_codePage;
    size_t m_pos = 0;
    int m_line = 1;
    std::vector<Token> m_tokens;
};

} // namespace

std::vector<Token> tokenize(const std::string& source, unsigned codePage)
{
    return Lexer(source, codePage).run();
}

} // namespace tlbc
