// Code page facts: names for the converter, double-byte lead ranges, and how far
// one character reaches.
#include "platform/linux/kernel/CodePages.h"

#include <iconv.h>

#include <map>
#include <mutex>

namespace comrt {

UINT resolveCodePage(UINT codePage)
{
    switch (codePage) {
    case CP_ACP:
        return processAnsiCodePage();
    case CP_THREAD_ACP:
        return threadAnsiCodePage();
    case CP_OEMCP:
        return oemCodePageFor(processAnsiCodePage());
    case CP_MACCP:
        return 10000;
    default:
        return codePage;
    }
}

UINT oemCodePageFor(UINT ansiCodePage)
{
    switch (ansiCodePage) {
    case 1250:
        return 852;
    case 1251:
        return 866;
    case 1252:
        return 437;
    case 1253:
        return 737;
    case 1254:
        return 857;
    case 1255:
        return 862;
    case 1256:
        return 720;
    case 1257:
        return 775;
    case 1258:
        return 1258;
    default:
        return ansiCodePage; // UTF-8 and the East Asian pages are their own OEM pages
    }
}

std::string iconvNameOf(UINT codePage)
{
    switch (codePage) {
    case CP_UTF7:
        return "UTF-7";
    case CP_UTF8:
        return "UTF-8";
    case 10000:
        return "MACINTOSH";
    case 20127:
        return "ASCII";
    case 20866:
        return "KOI8-R";
    case 21866:
        return "KOI8-U";
    case 20932:
    case 51932:
        return "EUC-JP";
    case 51936:
        return "EUC-CN";
    case 51949:
        return "EUC-KR";
    case 54936:
        return "GB18030";
    case 28603:
        return "ISO-8859-13";
    case 28605:
        return "ISO-8859-15";
    default:
        if (codePage >= 28591 && codePage <= 28599)
            return "ISO-8859-" + std::to_string(codePage - 28590);
        return "CP" + std::to_string(codePage);
    }
}

bool isSupportedCodePage(UINT codePage)
{
    switch (codePage) {
    case CP_ACP:
    case CP_OEMCP:
    case CP_MACCP:
    case CP_THREAD_ACP:
    case 1200: // UTF-16 is no multi-byte code page
    case 1201:
    case 12000:
    case 12001:
        return false;
    case CP_UTF8:
        return true;
    default:
        break;
    }
    static constinit std::mutex mutex;
    static auto* known = new std::map<UINT, bool>; // outlives every static destructor
    std::lock_guard lock(mutex);
    auto found = known->find(codePage);
    if (found != known->end())
        return found->second;
    iconv_t probe = iconv_open("UTF-16LE", iconvNameOf(codePage).c_str());
    bool supported = probe != reinterpret_cast<iconv_t>(-1);
    if (supported)
        iconv_close(probe);
    known->emplace(codePage, supported);
    return supported;
}

bool isDbcsCodePage(UINT codePage)
{
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

bool isDbcsLeadByte(UINT codePage, unsigned char byte)
{
    switch (codePage) {
    case 932:
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
        return byte >= 0x81 && byte <= 0xFE;
    default:
        return false;
    }
}

namespace {

// Length of a well-formed UTF-8 sequence at text, or 1 for a stray byte.
size_t utf8SequenceLength(const unsigned char* text)
{
    unsigned char lead = text[0];
    size_t length;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 1;
    for (size_t i = 1; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80) // the terminator stops the sequence here too
            return 1;
    }
    return length;
}

} // namespace

size_t characterLength(UINT codePage, const char* text)
{
    auto bytes = reinterpret_cast<const unsigned char*>(text);
    if (bytes[0] == 0)
        return 0;
    UINT page = resolveCodePage(codePage);
    if (page == CP_UTF8)
        return utf8SequenceLength(bytes);
    if (isDbcsLeadByte(page, bytes[0]) && bytes[1] != 0)
        return 2;
    return 1;
}

} // namespace comrt
