#include "registry/ProgramRun.h"

#include "helpers/ConversionCodePage.h"
#include "helpers/Win32Result.h"
#include "platform/Automation.h"
#include "platform/Registry.h"
#include "registry/KeyTree.h"
#include "registry/RegOp.h"
#include "registry/ValueData.h"

#include <cstring>
#include <new>

namespace {

constexpr REGSAM kKeyAccess = KEY_READ | KEY_WRITE;
// Value conversions work here when their data fits, and on the heap otherwise.
constexpr size_t kScratchAreaBytes = 1024;

// A byte area of kScratchAreaBytes inline, or a heap block for more.
class ConversionArea {
public:
    ConversionArea() = default;
    ~ConversionArea() { delete[] m_pHeap; }
    ConversionArea(const ConversionArea&) = delete;
    ConversionArea& operator=(const ConversionArea&) = delete;

    // Null when the heap block cannot be had.
    BYTE* get(size_t bytes)
    {
        if (bytes <= kScratchAreaBytes)
            return m_inline;
        m_pHeap = new (std::nothrow) BYTE[bytes];
        return m_pHeap;
    }

private:
    alignas(alignof(WCHAR)) BYTE m_inline[kScratchAreaBytes];
    BYTE* m_pHeap = nullptr;
};

class ProgramRun {
public:
    ProgramRun(const ReplacementMap& variables, const RegistryProgram& program, bool bRegister)
        : m_variables(variables), m_program(program), m_bRegister(bRegister)
    {
    }

    HRESULT run()
    {
        m_position = 1;
        return runLevel(regRootKey(regWordName(m_program.words[0])));
    }

private:
    struct Level {
        explicit Level(HKEY hParent) : parent(hParent) {}
        ~Level() { releaseCurrent(); }
        Level(const Level&) = delete;
        Level& operator=(const Level&) = delete;

        void releaseCurrent()
        {
            if (current != nullptr)
                RegCloseKey(current);
            current = nullptr;
        }
        void replaceCurrent(HKEY key)
        {
            releaseCurrent();
            current = key;
        }

        // None while unregistering below a key that is not there.
        HKEY parent;
        HKEY current = nullptr;
        bool keepMark = false;
        DWORD rememberedKeyWord = 0;
        HRESULT status = S_OK;
    };

    HRESULT runLevel(HKEY parent);
    HRESULT keyWord(Level& level, DWORD word);
    HRESULT openOrCreateKey(Level& level, DWORD nameIndex);
    HRESULT deleteNamedTree(HKEY parent, DWORD nameIndex);
    HRESULT writeValue(Level& level, DWORD word);
    HRESULT expand(DWORD index, ScratchBuffer& scratch, LPCSTR* text) const;
    HRESULT expandKeyName(DWORD index, ScratchBuffer& scratch, LPCSTR* text) const;
    HRESULT numberFromText(LPCSTR text, DWORD* value) const;

    const ReplacementMap& m_variables;
    const RegistryProgram& m_program;
    const bool m_bRegister;
    UINT m_position = 0;
};

HRESULT ProgramRun::expand(DWORD index, ScratchBuffer& scratch, LPCSTR* text) const
{
    HRESULT hr = m_variables.ExpandString(m_program.strings, index, scratch, text);
    if (FAILED(hr))
        return hr;
    if (*text == nullptr)
        *text = scratch.data();
    // Checked programs index no entry without text.
    return *text != nullptr ? S_OK : E_FAIL;
}

HRESULT ProgramRun::expandKeyName(DWORD index, ScratchBuffer& scratch, LPCSTR* text) const
{
    HRESULT hr = expand(index, scratch, text);
    if (FAILED(hr))
        return hr;
    // An empty name would address the parent key itself, and deleting "it"
    // would take the parent's whole tree with it.
    return **text != '\0' ? S_OK : E_FAIL;
}

HRESULT ProgramRun::openOrCreateKey(Level& level, DWORD nameIndex)
{
    ScratchBuffer scratch;
    LPCSTR name = nullptr;
    HRESULT hr = expandKeyName(nameIndex, scratch, &name);
    if (FAILED(hr))
        return hr;
    HKEY key = nullptr;
    if (RegOpenKeyExA(level.parent, name, 0, kKeyAccess, &key) == ERROR_SUCCESS) {
        level.replaceCurrent(key);
        return S_OK;
    }
    LONG code = RegCreateKeyExA(level.parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, kKeyAccess, nullptr, &key,
                                nullptr);
    if (code != ERROR_SUCCESS)
        return hresultFromWin32(code);
    level.replaceCurrent(key);
    return S_OK;
}

HRESULT ProgramRun::deleteNamedTree(HKEY parent, DWORD nameIndex)
{
    ScratchBuffer scratch;
    LPCSTR name = nullptr;
    HRESULT hr = expandKeyName(nameIndex, scratch, &name);
    if (FAILED(hr))
        return hr;
    if (parent == nullptr)
        return S_OK;
    return deleteKeyTree(parent, name);
}

// Key and ReplaceKey words.
HRESULT ProgramRun::keyWord(Level& level, DWORD word)
{
    if (m_bRegister) {
        if (regWordOp(word) == RegOp::ReplaceKey) {
            HRESULT hr = deleteNamedTree(level.parent, regWordName(word));
            if (FAILED(hr))
                return hr;
        }
        return openOrCreateKey(level, regWordName(word));
    }

    ScratchBuffer scratch;
    LPCSTR name = nullptr;
    HRESULT hr = expandKeyName(regWordName(word), scratch, &name);
    if (FAILED(hr))
        return hr;
    if (level.parent != nullptr) {
        HKEY key = nullptr;
        LONG code = RegOpenKeyExA(level.parent, name, 0, kKeyAccess, &key);
        if (code == ERROR_SUCCESS)
            level.replaceCurrent(key);
        else if (code == ERROR_FILE_NOT_FOUND)
            level.releaseCurrent();  // not there: its block opens and removes nothing
        else
            return hresultFromWin32(code);
    }
    level.rememberedKeyWord = word;
    return S_OK;
}

HRESULT ProgramRun::runLevel(HKEY parent)
{
    Level level(parent);
    for (;;) {
        // A checked program ends with End before its last word; stay inside it regardless.
        if (m_position >= m_program.wordCount)
            return E_FAIL;
        DWORD word = m_program.words[m_position];
        HRESULT hr = S_OK;
        switch (regWordOp(word)) {
        case RegOp::End:
            // Not consumed: every enclosing level meets it and ends too.
            return S_OK;
        case RegOp::KeepKey:
            level.keepMark = true;
            if (m_bRegister)
                hr = openOrCreateKey(level, regWordName(word));
            break;
        case RegOp::ReplaceKey:
        case RegOp::Key:
            hr = keyWord(level, word);
            break;
        case RegOp::BeginBlock:
            ++m_position;
            hr = runLevel(level.current);
            if (FAILED(hr))
                return hr;
            if (!m_bRegister) {
                if (level.keepMark)
                    level.keepMark = false;
                else
                    hr = deleteNamedTree(level.parent, regWordName(level.rememberedKeyWord));
                if (FAILED(hr))
                    return hr;
            }
            level.status = hr;
            continue;  // the nested level has consumed its words
        case RegOp::EndBlock:
            ++m_position;
            return level.status;
        case RegOp::Root:
            // The rest of the program is a new level on another root; its result
            // is this level's result.
            level.releaseCurrent();
            level.parent = regRootKey(regWordName(word));
            level.keepMark = false;
            level.rememberedKeyWord = 0;
            level.status = S_OK;
            break;
        case RegOp::StringValue:
        case RegOp::MultiStringValue:
        case RegOp::NumberValue:
        case RegOp::BinaryValue:
            // Unregistration removes values only with their keys.
            if (m_bRegister)
                hr = writeValue(level, word);
            break;
        default:
            return E_FAIL;
        }
        if (FAILED(hr))
            return hr;
        level.status = hr;
        ++m_position;
    }
}

HRESULT ProgramRun::numberFromText(LPCSTR text, DWORD* value) const
{
    size_t chars = std::strlen(text) + 1;
    if (chars > 0x3FFFFFFF)
        return E_FAIL;
    ConversionArea area;
    auto* wide = reinterpret_cast<LPWSTR>(area.get(chars * sizeof(WCHAR)));
    if (wide == nullptr)
        return E_OUTOFMEMORY;
    if (ansiToWide(wide, text, static_cast<int>(chars)) == nullptr)
        return E_FAIL;
    ULONG number = 0;
    if (FAILED(VarUI4FromStr(wide, 0, 0, &number)))
        return E_FAIL;
    *value = number;
    return S_OK;
}

HRESULT ProgramRun::writeValue(Level& level, DWORD word)
{
    const RegOp op = regWordOp(word);
    const DWORD nameIndex = regWordName(word);
    const DWORD dataIndex = regWordData(word);

    // The default value goes to the current key, or to the level's own key
    // when no key word came yet; a named value always to the level's own key.
    HKEY target = level.parent;
    LPCSTR valueName = nullptr;
    ScratchBuffer nameScratch;
    if (nameIndex == 0) {
        if (level.current != nullptr)
            target = level.current;
    } else {
        HRESULT hr = expand(nameIndex, nameScratch, &valueName);
        if (FAILED(hr))
            return hr;
    }

    ScratchBuffer dataScratch;
    ConversionArea area;
    DWORD type = REG_NONE;
    const BYTE* data = nullptr;
    size_t length = 0;
    DWORD number = 0;
    switch (op) {
    case RegOp::StringValue:
    case RegOp::MultiStringValue: {
        LPCSTR text = nullptr;
        HRESULT hr = expand(dataIndex, dataScratch, &text);
        if (FAILED(hr))
            return hr;
        size_t textLength = std::strlen(text);
        if (op == RegOp::StringValue) {
            type = REG_SZ;
            data = reinterpret_cast<const BYTE*>(text);
            length = textLength + 1;
        } else {
            BYTE* converted = area.get(multiStringBufferBytes(textLength));
            if (converted == nullptr)
                return E_OUTOFMEMORY;
            type = REG_MULTI_SZ;
            data = converted;
            length = convertMultiString(text, textLength, converted);
        }
        break;
    }
    case RegOp::NumberValue: {
        const RegNumberEntry& entry = m_program.numbers[dataIndex];
        if (entry.expand == 1) {
            LPCSTR text = nullptr;
            HRESULT hr = expand(entry.value, dataScratch, &text);
            if (FAILED(hr))
                return hr;
            hr = numberFromText(text, &number);
            if (FAILED(hr))
                return hr;
        } else {
            number = entry.value;
        }
        type = REG_DWORD;
        data = reinterpret_cast<const BYTE*>(&number);
        length = sizeof(number);
        break;
    }
    case RegOp::BinaryValue: {
        const RegBinaryEntry& entry = m_program.binaries[dataIndex];
        type = REG_BINARY;
        if (entry.expand == 1) {
            LPCSTR text = nullptr;
            HRESULT hr = expand(entry.length, dataScratch, &text);
            if (FAILED(hr))
                return hr;
            size_t textLength = std::strlen(text);
            if (textLength % 2 != 0)
                return E_FAIL;
            BYTE* bytes = area.get(textLength / 2);
            if (bytes == nullptr)
                return E_OUTOFMEMORY;
            convertHexText(text, textLength, bytes);
            data = bytes;
            length = textLength / 2;
        } else {
            data = entry.bytes;
            length = entry.length;
        }
        break;
    }
    default:
        return E_FAIL;
    }

    if (length > 0xFFFFFFFFu)
        return E_OUTOFMEMORY;
    LONG code = RegSetValueExA(target, valueName, 0, type, data, static_cast<DWORD>(length));
    return code == ERROR_SUCCESS ? S_OK : hresultFromWin32(code);
}

} // namespace

HRESULT runCheckedProgram(const ReplacementMap& variables, const RegistryProgram& program, bool bRegister)
{
    return ProgramRun(variables, program, bRegister).run();
}
