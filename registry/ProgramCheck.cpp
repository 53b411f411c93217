#include "registry/ProgramCheck.h"

#include "registry/RegOp.h"

namespace {

// Tables end with a sentinel entry; no operand can reach past index kRegMaxOperand.
constexpr UINT kTableScanLimit = kRegMaxOperand + 1;

UINT countStrings(const RegStringEntry* table)
{
    UINT n = 0;
    while (n < kTableScanLimit && table[n].text != nullptr)
        ++n;
    return n;
}

template <class Entry, class IsEnd>
UINT countEntries(const Entry* table, IsEnd isEnd)
{
    UINT n = 0;
    while (n < kTableScanLimit && !isEnd(table[n]))
        ++n;
    return n;
}

bool isKnownRoot(DWORD rootNumber)
{
    return regRootKey(rootNumber) != nullptr;
}

// Walks the words as the runner will; returns the position of the End word, or -1.
long checkShape(const RegistryProgram& program)
{
    const DWORD* words = program.words;
    if (program.wordCount == 0 || regWordOp(words[0]) != RegOp::Root || !isKnownRoot(regWordName(words[0])))
        return -1;

    bool levelHasKey[kMaxProgramLevels + 1] = {};
    UINT level = 1;
    bool modifierPending = false;
    DWORD modifierName = 0;
    for (UINT position = 1; position < program.wordCount; ++position) {
        DWORD word = words[position];
        DWORD opcode = regWordOpcode(word);
        if (!isDefinedRegOpcode(opcode))
            return -1;
        RegOp op = regWordOp(word);
        if (modifierPending) {
            if (op != RegOp::Key || regWordName(word) != modifierName)
                return -1;
            modifierPending = false;
        }
        // After the last root level has ended only End may follow.
        if (level == 0 && op != RegOp::End)
            return -1;
        switch (op) {
        case RegOp::End:
            if (level != 0)
                return -1;
            return static_cast<long>(position);
        case RegOp::KeepKey:
        case RegOp::ReplaceKey:
            modifierPending = true;
            modifierName = regWordName(word);
            break;
        case RegOp::Key:
            levelHasKey[level] = true;
            break;
        case RegOp::BeginBlock:
            // The nested level belongs to the key named before it.
            if (!levelHasKey[level] || level == kMaxProgramLevels)
                return -1;
            ++level;
            levelHasKey[level] = false;
            break;
        case RegOp::EndBlock:
            --level;
            break;
        case RegOp::Root:
            // A further root takes the place of the root level's EndBlock.
            if (level != 1 || !isKnownRoot(regWordName(word)))
                return -1;
            levelHasKey[1] = false;
            break;
        default:
            break;
        }
    }
    return -1;
}

class IndexCheck {
public:
    explicit IndexCheck(const RegistryProgram& program) : m_program(program)
    {
        m_nStrings = countStrings(program.strings);
    }

    bool keyName(DWORD index) const
    {
        // Name 0 stands for no name; a key word without one would address its parent.
        if (index == 0 || index >= m_nStrings)
            return false;
        const RegStringEntry& entry = m_program.strings[index];
        return entry.expand != 0 || entry.text[0] != '\0';
    }

    bool valueName(DWORD index) const { return index < m_nStrings; }
    bool string(DWORD index) const { return index < m_nStrings; }

    bool number(DWORD index)
    {
        if (m_program.numbers == nullptr)
            return false;
        if (m_nNumbers < 0)
            m_nNumbers = static_cast<long>(countEntries(m_program.numbers, isNumberTableEnd));
        if (index >= static_cast<DWORD>(m_nNumbers))
            return false;
        const RegNumberEntry& entry = m_program.numbers[index];
        return entry.expand != 1 || string(entry.value);
    }

    bool binary(DWORD index)
    {
        if (m_program.binaries == nullptr)
            return false;
        if (m_nBinaries < 0)
            m_nBinaries = static_cast<long>(countEntries(m_program.binaries, isBinaryTableEnd));
        if (index >= static_cast<DWORD>(m_nBinaries))
            return false;
        const RegBinaryEntry& entry = m_program.binaries[index];
        if (entry.expand == 1)
            return string(entry.length);
        return entry.bytes != nullptr || entry.length == 0;
    }

private:
    const RegistryProgram& m_program;
    UINT m_nStrings = 0;
    long m_nNumbers = -1;
    long m_nBinaries = -1;
};

} // namespace

HRESULT checkRegistryProgram(const RegistryProgram& program)
{
    if (program.words == nullptr || program.strings == nullptr)
        return E_INVALIDARG;
    long end = checkShape(program);
    if (end < 0)
        return E_FAIL;

    IndexCheck check(program);
    for (long position = 1; position < end; ++position) {
        DWORD word = program.words[position];
        DWORD name = regWordName(word);
        DWORD data = regWordData(word);
        bool ok = true;
        switch (regWordOp(word)) {
        case RegOp::KeepKey:
        case RegOp::ReplaceKey:
        case RegOp::Key:
            ok = check.keyName(name);
            break;
        case RegOp::StringValue:
        case RegOp::MultiStringValue:
            ok = check.valueName(name) && check.string(data);
            break;
        case RegOp::NumberValue:
            ok = check.valueName(name) && check.number(data);
            break;
        case RegOp::BinaryValue:
            ok = check.valueName(name) && check.binary(data);
            break;
        default:
            break;
        }
        if (!ok)
            return E_FAIL;
    }
    return S_OK;
}
