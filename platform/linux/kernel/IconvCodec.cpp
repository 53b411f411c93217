// Numbered code pages through iconv. Converters are opened once per thread and
// code page (an iconv descriptor must not be shared between threads).
#include "platform/linux/kernel/CodePages.h"
#include "platform/linux/kernel/TextCodecs.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace comrt {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

class ConverterCache {
public:
    ~ConverterCache()
    {
        for (auto& entry : m_converters) {
            if (entry.second != kNoConverter)
                iconv_close(entry.second);
        }
    }

    // A converter in its initial shift state, or kNoConverter.
    iconv_t get(UINT codePage, bool toUtf16)
    {
        auto key = std::make_pair(codePage, toUtf16);
        auto found = m_converters.find(key);
        if (found == m_converters.end()) {
            std::string name = iconvNameOf(codePage);
            iconv_t cd = toUtf16 ? iconv_open("UTF-16LE", name.c_str()) : iconv_open(name.c_str(), "UTF-16LE");
            found = m_converters.emplace(key, cd).first;
        }
        if (found->second != kNoConverter)
            iconv(found->second, nullptr, nullptr, nullptr, nullptr);
        return found->second;
    }

private:
    std::map<std::pair<UINT, bool>, iconv_t> m_converters;
};

thread_local ConverterCache t_converters;

// Bytes that iconv leaves undefined but the platform maps to the same code point.
bool platformMapsUndefinedByte(UINT codePage, unsigned char byte)
{
    return codePage == 1252 && (byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D);
}

// Runs the converter over the whole input; onInvalid handles an unconvertible
// spot and returns how many input bytes to skip (0 stops with failure).
template <typename OnInvalid>
bool runConverter(iconv_t cd, const char* input, size_t inputLength, size_t expected, std::vector<char>& output,
                  OnInvalid onInvalid)
{
    output.assign(expected + 16, 0);
    size_t used = 0;
    char* in = const_cast<char*>(input);
    size_t inLeft = inputLength;
    bool flushing = false;
    for (;;) {
        char* out = output.data() + used;
        size_t outLeft = output.size() - used;
        size_t rc = flushing ? iconv(cd, nullptr, nullptr, &out, &outLeft) : iconv(cd, &in, &inLeft, &out, &outLeft);
        used = output.size() - outLeft;
        if (rc != static_cast<size_t>(-1)) {
            if (flushing)
                break;
            flushing = true; // stateful encodings (UTF-7) may still owe bytes
            continue;
        }
        if (errno == E2BIG) {
            output.resize(output.size() * 2);
            continue;
        }
        if (flushing)
            return false;
        size_t skip = onInvalid(in, inLeft, output, used);
        if (skip == 0)
            return false;
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    output.resize(used);
    return true;
}

void appendBytes(std::vector<char>& output, size_t& used, const char* bytes, size_t count)
{
    if (output.size() < used + count)
        output.resize((used + count) * 2);
    for (size_t i = 0; i < count; ++i)
        output[used++] = bytes[i];
}

// UTF-7 keeps U+0000 as a plain 0 byte, where iconv would encode it in
// base64: the text between the zeros is converted piece by piece and the
// zeros are copied.
template <typename In, typename Out, typename ConvertPiece>
bool convertBetweenZeros(const In* text, size_t length, Out& out, ConvertPiece convertPiece)
{
    out.clear();
    for (size_t start = 0;;) {
        const size_t end = static_cast<size_t>(std::find(text + start, text + length, In(0)) - text);
        Out piece;
        if (end > start && !convertPiece(text + start, end - start, piece))
            return false;
        out += piece;
        if (end == length)
            return true;
        out.push_back(0);
        start = end + 1;
    }
}

} // namespace

bool decodeToUtf16(UINT codePage, const char* bytes, size_t length, bool strict, std::u16string& out)
{
    if (codePage == CP_UTF8)
        return decodeUtf8(bytes, length, strict, out);
    if (codePage == CP_UTF7 && std::memchr(bytes, 0, length))
        return convertBetweenZeros(bytes, length, out, [&](const char* piece, size_t count, std::u16string& text) {
            return decodeToUtf16(codePage, piece, count, strict, text);
        });
    iconv_t cd = t_converters.get(codePage, true);
    if (cd == kNoConverter)
        return false;
    std::vector<char> output;
    bool ok = runConverter(cd, bytes, length, length * 2, output,
                           [&](const char* at, size_t, std::vector<char>& buffer, size_t& used) -> size_t {
                               auto byte = static_cast<unsigned char>(*at);
                               char16_t replacement = u'?';
                               if (platformMapsUndefinedByte(codePage, byte))
                                   replacement = byte;
                               else if (strict)
                                   return 0;
                               char units[2] = {static_cast<char>(replacement & 0xFF), static_cast<char>(replacement >> 8)};
                               appendBytes(buffer, used, units, 2);
                               return 1;
                           });
    if (!ok)
        return false;
    out.assign(reinterpret_cast<const char16_t*>(output.data()), output.size() / 2);
    return true;
}

bool encodeFromUtf16(UINT codePage, const char16_t* text, size_t length, bool strict, const char* defaultChar,
                     bool& usedDefault, std::string& out)
{
    usedDefault = false;
    if (codePage == CP_UTF8)
        return encodeUtf8(text, length, strict, out);
    if (codePage == CP_UTF7 && std::char_traits<char16_t>::find(text, length, u'\0'))
        return convertBetweenZeros(text, length, out, [&](const char16_t* piece, size_t count, std::string& bytes) {
            bool pieceUsedDefault = false;
            const bool converted =
                encodeFromUtf16(codePage, piece, count, strict, defaultChar, pieceUsedDefault, bytes);
            usedDefault = usedDefault || pieceUsedDefault;
            return converted;
        });
    iconv_t cd = t_converters.get(codePage, false);
    if (cd == kNoConverter)
        return false;
    // The default character is one character of the target page: one byte, or
    // two for a double-byte lead followed by a trail.
    const char* fallback = defaultChar ? defaultChar : "?";
    size_t fallbackLength =
        (isDbcsLeadByte(codePage, static_cast<unsigned char>(fallback[0])) && fallback[1] != 0) ? 2 : 1;
    std::vector<char> output;
    bool ok = runConverter(cd, reinterpret_cast<const char*>(text), length * 2, length * 2, output,
                           [&](const char* at, size_t left, std::vector<char>& buffer, size_t& used) -> size_t {
                               if (left < 2)
                                   return 0;
                               appendBytes(buffer, used, fallback, fallbackLength);
                               usedDefault = true;
                               char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(at[0]) |
                                                                     (static_cast<unsigned char>(at[1]) << 8));
                               // A surrogate pair stands for one character.
                               if (unit >= 0xD800 && unit <= 0xDBFF && left >= 4) {
                                   char16_t next = static_cast<char16_t>(static_cast<unsigned char>(at[2]) |
                                                                         (static_cast<unsigned char>(at[3]) << 8));
                                   if (next >= 0xDC00 && next <= 0xDFFF)
                                       return 4;
                               }
                               return 2;
                           });
    if (!ok)
        return false;
    out.assign(output.data(), output.size());
    return true;
}

} // namespace comrt
