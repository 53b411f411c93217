// Code page validation through iconv.
#include "tools/tlbc/CodePageText.h"

#include "tools/tlbc/CompileError.h"

#include <iconv.h>

#include <vector>

namespace tlbc {

std::string converterName(unsigned codePage)
{
    switch (codePage) {
    case 65001:
        return "UTF-8";
    case 20127:
        return "ASCII";
    case 932:
    case 936:
    case 949:
    case 950:
    case 874:
    case 1250:
    case 1251:
    case 1252:
    case 1253:
    case 1254:
    case 1255:
    case 1256:
    case 1257:
    case 1258:
        return "CP" + std::to_string(codePage);
    default:
        return {};
    }
}

CodePageCheck::CodePageCheck(unsigned codePage)
{
    std::string name = converterName(codePage);
    iconv_t converter = name.empty() ? iconv_t(-1) : iconv_open("UTF-16LE", name.c_str());
    if (converter == iconv_t(-1))
        throw CompileError(0, "unsupported code page " + std::to_string(codePage));
    m_converter = converter;
}

CodePageCheck::~CodePageCheck()
{
    iconv_close(static_cast<iconv_t>(m_converter));
}

bool CodePageCheck::valid(const std::string& text) const
{
    auto converter = static_cast<iconv_t>(m_converter);
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    std::string in = text;
    std::vector<char> out(text.size() * 4 + 8);
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    return iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1) && inLeft == 0;
}

} // namespace tlbc
