// Runs programs built from the fuzz input against a scratch registry, in both
// modes. A program the check refuses must leave the registry as it was.
#include "platform/Registry.h"
#include "registry/ProgramCheck.h"
#include "registry/RegOp.h"
#include "registry/RegistryRunner.h"
#include "tests/support/ScratchRegistry.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

std::optional<testkit::ScratchRegistry> g_registry;
int g_runs = 0;

// Every few thousand runs the registry starts afresh, so that it stays small.
void useScratchRegistry()
{
    if (g_runs++ % 4096 != 0)
        return;
    g_registry.reset();
    g_registry.emplace();
}

// Subkeys and values directly under every root the programs can name.
std::vector<DWORD> rootCounts()
{
    std::vector<DWORD> counts;
    for (DWORD root : {0u, 1u, 2u, 3u, 5u}) {
        DWORD subkeys = 0, values = 0;
        RegQueryInfoKeyA(regRootKey(root), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr);
        counts.push_back(subkeys);
        counts.push_back(values);
    }
    return counts;
}

struct Shape {
    FuzzedDataProvider& in;
    std::vector<DWORD>& words;
    DWORD strings;  // valid string indexes are below this
    DWORD entries;  // number and binary indexes, a little past the tables

    DWORD stringIndex() { return in.ConsumeIntegralInRange<DWORD>(0, strings); }
    DWORD valueWord(DWORD name)
    {
        static const RegOp kValues[] = {RegOp::StringValue, RegOp::MultiStringValue, RegOp::NumberValue,
                                        RegOp::BinaryValue};
        RegOp op = in.PickValueInArray(kValues);
        DWORD data = (op == RegOp::StringValue || op == RegOp::MultiStringValue)
                         ? stringIndex()
                         : in.ConsumeIntegralInRange<DWORD>(0, entries);
        return encodeRegWord(op, name, data);
    }

    // Mostly well-formed levels, so that runs get past the check; now and
    // then a word that is anything at all.
    void level(int depth)
    {
        while (words.size() < 200 && in.remaining_bytes() > 0 && in.ConsumeIntegralInRange(0, 4) != 0) {
            switch (in.ConsumeIntegralInRange(0, 9)) {
            case 0:
            case 1:
            case 2:
            case 3: {
                DWORD name = stringIndex();
                if (in.ConsumeIntegralInRange(0, 3) == 0)
                    words.push_back(encodeRegWord(in.ConsumeBool() ? RegOp::KeepKey : RegOp::ReplaceKey, name));
                words.push_back(encodeRegWord(RegOp::Key, name));
                if (in.ConsumeBool())
                    words.push_back(valueWord(0));
                if (depth < 6 && in.ConsumeBool()) {
                    words.push_back(encodeRegWord(RegOp::BeginBlock));
                    level(depth + 1);
                    words.push_back(encodeRegWord(RegOp::EndBlock));
                }
                break;
            }
            case 4:
            case 5:
            case 6:
                words.push_back(valueWord(stringIndex()));
                break;
            case 7:
                words.push_back(valueWord(0));
                break;
            case 8:
                if (depth == 1) {
                    words.push_back(encodeRegWord(RegOp::Root, in.ConsumeIntegralInRange(0, 6)));
                    break;
                }
                [[fallthrough]];
            default:
                words.push_back(in.ConsumeIntegral<uint32_t>());
                break;
            }
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    useScratchRegistry();
    FuzzedDataProvider in(data, size);
    const bool bRegister = in.ConsumeBool();

    RegistryRunner runner;
    // Names and texts that meet each other now and then.
    static const char* const kNames[] = {"V", "module", "Hex"};
    static const char* const kTexts[] = {"%V%", "%MODULE%", "k\\%V%", "one\\0two\\0", "0aFf", "%Hex%",
                                         "4660", "%%", "%V", "\\"};
    for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) {
        std::string name = in.ConsumeBool() ? in.PickValueInArray(kNames) : in.ConsumeRandomLengthString(40);
        std::string value = in.ConsumeRandomLengthString(64);
        runner.SetVariableA(name.c_str(), value.c_str());
    }

    // Texts keep their storage here; the tables point into it.
    std::vector<std::string> texts;
    for (int n = in.ConsumeIntegralInRange(0, 8); n > 0; --n)
        texts.push_back(in.ConsumeBool() ? in.PickValueInArray(kTexts) : in.ConsumeRandomLengthString(48));
    std::vector<RegStringEntry> strings{{"", 0}};
    for (const std::string& text : texts)
        strings.push_back({text.c_str(), in.ConsumeIntegral<uint8_t>()});
    strings.push_back({nullptr, 0});
    const DWORD stringCount = static_cast<DWORD>(strings.size() - 1);

    std::vector<RegNumberEntry> numbers;
    for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n)
        numbers.push_back({in.ConsumeIntegralInRange<DWORD>(0, stringCount + 1), in.ConsumeIntegralInRange<BYTE>(0, 2)});
    numbers.push_back({0, 0});

    std::vector<std::vector<BYTE>> blobs;
    for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n)
        blobs.push_back(in.ConsumeBytes<BYTE>(in.ConsumeIntegralInRange(0, 16)));
    std::vector<RegBinaryEntry> binaries;
    for (const std::vector<BYTE>& blob : blobs) {
        BYTE expand = in.ConsumeIntegralInRange<BYTE>(0, 2);
        DWORD length = expand == 1 ? in.ConsumeIntegralInRange<DWORD>(0, stringCount + 1)
                                   : static_cast<DWORD>(blob.size());
        binaries.push_back({blob.empty() ? nullptr : blob.data(), length, expand});
    }
    binaries.push_back({nullptr, 0, 0});

    const DWORD entries = static_cast<DWORD>(std::max(numbers.size(), binaries.size()));
    std::vector<DWORD> words;
    words.push_back(encodeRegWord(RegOp::Root, in.ConsumeIntegralInRange(0, 2)));
    Shape shape{in, words, stringCount, entries};
    shape.level(1);
    words.push_back(encodeRegWord(RegOp::EndBlock));
    words.push_back(encodeRegWord(RegOp::End));
    // Now and then cut the program short.
    if (!words.empty() && in.ConsumeIntegralInRange(0, 7) == 0)
        words.resize(in.ConsumeIntegralInRange<size_t>(0, words.size() - 1));
    // The words live in a block of their own size, so that reading past them is caught.
    std::unique_ptr<DWORD[]> exact(new DWORD[words.size()]);
    std::copy(words.begin(), words.end(), exact.get());

    RegistryProgram program{exact.get(), strings.data(), numbers.data(), binaries.data(),
                            static_cast<UINT>(words.size())};
    const HRESULT checked = checkRegistryProgram(program);
    const std::vector<DWORD> before = rootCounts();
    const HRESULT hr = runner.RunProgram(program, bRegister);
    if (FAILED(checked) && (hr != checked || rootCounts() != before))
        __builtin_trap();
    return 0;
}
