// Expands texts built from the fuzz input, under single-byte, double-byte and
// UTF-8 code pages. Under a single-byte code page with plain ASCII names the
// result must match a straightforward model of the expansion.
#include "platform/linux/ComRtExtensions.h"
#include "registry/ReplacementMap.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

bool asciiEqualNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 32);
        if (x != y)
            return false;
    }
    return true;
}

// The expansion of text with one byte per character; nullopt for a failure.
std::optional<std::string> model(const std::string& text,
                                 const std::vector<std::pair<std::string, std::string>>& pairs)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        if (text[i] != '%') {
            out += text[i++];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '%') {
            out += '%';
            i += 2;
            continue;
        }
        size_t close = text.find('%', i + 1);
        if (close == std::string::npos || close - i - 1 > 31)
            return std::nullopt;
        std::string name = text.substr(i + 1, close - i - 1);
        const std::string* value = nullptr;
        for (const auto& pair : pairs) {
            if (asciiEqualNoCase(pair.first, name)) {
                value = &pair.second;
                break;
            }
        }
        if (value == nullptr)
            return std::nullopt;
        out += *value;
        i = close + 1;
    }
    return out;
}

bool isAscii(const std::string& text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    static const UINT kCodePages[] = {1252, 936, 932, 65001};
    const UINT codePage = in.PickValueInArray(kCodePages);
    ComRtSetAnsiCodePage(codePage);

    ReplacementMap map;
    std::vector<std::pair<std::string, std::string>> pairs;
    bool asciiNames = true;
    for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n) {
        std::string name = in.ConsumeRandomLengthString(36);
        std::string value = in.ConsumeRandomLengthString(64);
        if (map.add(name.c_str(), value.c_str()) != S_OK)
            __builtin_trap();
        asciiNames = asciiNames && isAscii(name);
        pairs.emplace_back(name.c_str(), value.c_str());
    }
    const BYTE expand = in.ConsumeIntegral<BYTE>();
    const std::string text = in.ConsumeRemainingBytesAsString();
    // The text sits in a block of its own exact size, so that reading past its end is caught.
    const size_t length = std::strlen(text.c_str());
    std::unique_ptr<char[]> exact(new char[length + 1]);
    std::memcpy(exact.get(), text.c_str(), length + 1);

    RegStringEntry table[] = {{exact.get(), expand}, {nullptr, 0}};
    ScratchBuffer scratch;
    LPCSTR out = "unset";
    HRESULT hr = map.ExpandString(table, 0, scratch, &out);
    if (expand == 0) {
        if (hr != S_OK || out != exact.get())
            __builtin_trap();
    } else if (FAILED(hr)) {
        if (hr != E_FAIL || out != nullptr)
            __builtin_trap();
    } else {
        if (out != nullptr || scratch.data() == nullptr || scratch.data()[scratch.length() - 1] != '\0')
            __builtin_trap();
    }
    if (expand != 0 && codePage == 1252 && asciiNames) {
        std::optional<std::string> expected = model(exact.get(), pairs);
        if (expected.has_value() != SUCCEEDED(hr) || (expected && *expected != std::string(scratch.data())))
            __builtin_trap();
    }
    ComRtSetAnsiCodePage(0);
    return 0;
}
