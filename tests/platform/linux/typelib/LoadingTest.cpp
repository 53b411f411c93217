// LoadTypeLib on files that are not what they should be: missing, of another
// kind, truncated or damaged. Each must be refused with a failure code, and a
// damaged library that still loads must be safe to read in full.
#include "tests/platform/linux/typelib/TypeLibTestSupport.h"

#include <gtest/gtest.h>

#include <elf.h>

#include <cstring>
#include <random>

using namespace typelib_test;

namespace {

HRESULT loadPath(const std::string& path, Ref<ITypeLib>& lib)
{
    std::u16string widePath = wide(path);
    return LoadTypeLib(widePath.c_str(), lib.out());
}

TEST(TypeLibLoading, RefusesWhatIsNoTypeLibrary)
{
    ScratchDirectory dir;
    Ref<ITypeLib> lib;
    EXPECT_EQ(loadPath(dir.file("missing.tlb"), lib), TYPE_E_CANTLOADLIBRARY);
    EXPECT_FALSE(lib);
    EXPECT_EQ(loadPath(dir.path(), lib), TYPE_E_CANTLOADLIBRARY);
    // A module without the resource: the runtime library itself.
    EXPECT_EQ(loadPath(RUNTIME_LIBRARY_PATH, lib), TYPE_E_CANTLOADLIBRARY);
    EXPECT_FALSE(lib);
    writeWholeFile(dir.file("text.tlb"), std::string("hello"));
    EXPECT_EQ(loadPath(dir.file("text.tlb"), lib), TYPE_E_CANTLOADLIBRARY);
    writeWholeFile(dir.file("empty.tlb"), std::string());
    EXPECT_EQ(loadPath(dir.file("empty.tlb"), lib), TYPE_E_CANTLOADLIBRARY);

    EXPECT_EQ(LoadTypeLib(u"", lib.out()), E_INVALIDARG);
    EXPECT_EQ(LoadTypeLib(nullptr, lib.out()), E_INVALIDARG);
    EXPECT_EQ(LoadTypeLib(u"x", nullptr), E_INVALIDARG);
    EXPECT_EQ(LoadTypeLibEx(u"x", static_cast<REGKIND>(7), lib.out()), E_INVALIDARG);
}

TEST(TypeLibLoading, NewerFormatVersionIsUnsupported)
{
    ScratchDirectory dir;
    std::vector<uint8_t> image = readWholeFile(MORVEN_TLB_PATH);
    ASSERT_GT(image.size(), 8u);
    image[4] = 2; // format version
    Ref<ITypeLib> lib;
    EXPECT_EQ(loadImage(image, dir.file("v2.tlb"), lib.out()), TYPE_E_UNSUPFORMAT);
}

TEST(TypeLibLoading, EveryTruncationOfALibraryIsRefused)
{
    ScratchDirectory dir("typelib-damage", ScratchDirectory::Storage::Memory);
    const std::vector<uint8_t> image = readWholeFile(MORVEN_TLB_PATH);
    ASSERT_FALSE(image.empty());
    for (size_t length = 0; length < image.size(); ++length) {
        Ref<ITypeLib> lib;
        std::vector<uint8_t> cut(image.begin(), image.begin() + static_cast<ptrdiff_t>(length));
        HRESULT hr = loadImage(cut, dir.file("cut.tlb"), lib.out());
        ASSERT_TRUE(FAILED(hr)) << "length " << length;
        ASSERT_FALSE(lib) << "length " << length;
    }
}

TEST(TypeLibLoading, TruncatedModulesAreRefused)
{
    ScratchDirectory dir("typelib-damage", ScratchDirectory::Storage::Memory);
    const std::vector<uint8_t> module = readWholeFile(SAMPLE_MODULE_PATH);
    ASSERT_GT(module.size(), 1024u);
    // The ELF header, then samples through the file, then the section headers
    // and names at its end byte by byte.
    std::vector<size_t> lengths;
    for (size_t n = 0; n < 128; ++n)
        lengths.push_back(n);
    for (size_t n = 128; n < module.size() - 2048; n += 509)
        lengths.push_back(n);
    for (size_t n = module.size() - 2048; n < module.size(); ++n)
        lengths.push_back(n);
    for (size_t length : lengths) {
        Ref<ITypeLib> lib;
        std::vector<uint8_t> cut(module.begin(), module.begin() + static_cast<ptrdiff_t>(length));
        HRESULT hr = loadImage(cut, dir.file("cut.so"), lib.out());
        ASSERT_TRUE(FAILED(hr)) << "length " << length;
        ASSERT_FALSE(lib);
    }
}

TEST(TypeLibLoading, DamagedSectionHeadersAreRefused)
{
    ScratchDirectory dir("typelib-damage", ScratchDirectory::Storage::Memory);
    const std::vector<uint8_t> module = readWholeFile(SAMPLE_MODULE_PATH);
    ASSERT_GE(module.size(), sizeof(Elf64_Ehdr));
    Elf64_Ehdr header;
    std::memcpy(&header, module.data(), sizeof header);

    auto loadWith = [&](auto change) {
        std::vector<uint8_t> copy = module;
        Elf64_Ehdr h = header;
        change(h, copy);
        std::memcpy(copy.data(), &h, sizeof h);
        Ref<ITypeLib> lib;
        return loadImage(copy, dir.file("bad.so"), lib.out());
    };
    EXPECT_EQ(loadWith([](Elf64_Ehdr& h, auto&) { h.e_shoff = ~0ull - 8; }), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(loadWith([&](Elf64_Ehdr& h, auto&) { h.e_shoff = module.size() - 10; }), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(loadWith([](Elf64_Ehdr& h, auto&) { h.e_shentsize = 12; }), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(loadWith([](Elf64_Ehdr& h, auto&) { h.e_shstrndx = 0xFFF0; }), TYPE_E_CANTLOADLIBRARY);
    // Every section's name and bounds pointing out of the file.
    EXPECT_EQ(loadWith([&](Elf64_Ehdr& h, std::vector<uint8_t>& bytes) {
                  for (uint16_t i = 0; i < h.e_shnum; ++i) {
                      Elf64_Shdr s;
                      uint8_t* at = bytes.data() + h.e_shoff + i * sizeof s;
                      std::memcpy(&s, at, sizeof s);
                      s.sh_offset = ~0ull - 16;
                      s.sh_size = 64;
                      std::memcpy(at, &s, sizeof s);
                  }
              }),
              TYPE_E_CANTLOADLIBRARY);
}

TEST(TypeLibLoading, DamagedLibrariesFailOrReadSafely)
{
    ScratchDirectory dir("typelib-damage", ScratchDirectory::Storage::Memory);
    const std::vector<uint8_t> image = readWholeFile(MORVEN_TLB_PATH);
    ASSERT_GT(image.size(), 256u);
    int loaded = 0;
    auto check = [&](const std::vector<uint8_t>& damaged, const std::string& what) {
        Ref<ITypeLib> lib;
        HRESULT hr = loadImage(damaged, dir.file("damaged.tlb"), lib.out());
        if (FAILED(hr)) {
            ASSERT_FALSE(lib) << what;
            ASSERT_TRUE(hr == TYPE_E_CANTLOADLIBRARY || hr == TYPE_E_UNSUPFORMAT) << what << " gave " << std::hex << hr;
            return;
        }
        ++loaded;
        readEverything(lib.get());
    };

    // Each word of the header and the record tables set to values that point
    // far away, at the end, or to the sign bit.
    const uint32_t extremes[] = {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, static_cast<uint32_t>(image.size())};
    size_t tablesEnd = std::min<size_t>(image.size(), 900);
    for (size_t offset = 0; offset + 4 <= tablesEnd; offset += 2) {
        for (uint32_t value : extremes) {
            std::vector<uint8_t> damaged = image;
            std::memcpy(damaged.data() + offset, &value, 4);
            check(damaged, "word at " + std::to_string(offset));
        }
    }

    // Random damage anywhere, reproducible.
    std::mt19937 random(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> damaged = image;
        int changes = 1 + static_cast<int>(random() % 4);
        for (int c = 0; c < changes; ++c)
            damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
        check(damaged, "round " + std::to_string(round));
    }
    // Damage to texts and values leaves loadable libraries; they were read in full.
    EXPECT_GT(loaded, 100);
}

} // namespace
