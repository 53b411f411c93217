// Running out of memory at each allocation the map, the expansion and the
// conversions make. The nothrow allocation functions of this executable fail
// on demand; everything else allocates as usual.
#include "registry/RegistryRunner.h"

#include <gtest/gtest.h>

#include <new>
#include <string>

namespace {

// The allocation, counting from 0, that fails; -1 for none.
int g_failAt = -1;
int g_allocations = 0;

void* allocate(std::size_t size, bool array)
{
    if (g_failAt >= 0 && g_allocations++ == g_failAt)
        return nullptr;
    try {
        return array ? ::operator new[](size) : ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// Calls action with the n-th allocation failing, n = 0, 1, ... until it no
// longer fails, and returns that n: the number of points at which it can fail.
// A call that reports success although one of its allocations failed is a
// fault: it goes on with memory it does not have.
template <class Action>
int failEachAllocation(Action action)
{
    for (int n = 0;; ++n) {
        g_failAt = n;
        g_allocations = 0;
        bool failed = action();
        const int made = g_allocations;
        g_failAt = -1;
        if (!failed) {
            EXPECT_LE(made, n) << "succeeded although allocation " << n << " of " << made << " failed";
            return n;
        }
    }
}

} // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size, false); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size, true); }

TEST(OutOfMemory, FailedAdditionLeavesTheMapAsItWas)
{
    ReplacementMap map;
    ASSERT_EQ(map.add("First", "1"), S_OK);
    int points = failEachAllocation([&] {
        HRESULT hr = map.add("Second", "2");
        if (hr == S_OK)
            return false;
        EXPECT_EQ(hr, E_OUTOFMEMORY);
        EXPECT_EQ(map.count(), 1);
        EXPECT_STREQ(map.lookup("First"), "1");
        EXPECT_EQ(map.lookup("Second"), nullptr);
        return true;
    });
    EXPECT_GT(points, 0);
    EXPECT_EQ(map.count(), 2);
    EXPECT_STREQ(map.lookup("First"), "1");
    EXPECT_STREQ(map.lookup("Second"), "2");
}

TEST(OutOfMemory, ExpansionAndConversionsReportIt)
{
    RegistryRunner runner;
    ASSERT_EQ(runner.SetVariableA("V", "a long enough value"), S_OK);
    RegStringEntry table[] = {{"[%V%]", 1}, {nullptr, 0}};
    int points = failEachAllocation([&] {
        ScratchBuffer scratch;
        LPCSTR text = "x";
        HRESULT hr = runner.variables().ExpandString(table, 0, scratch, &text);
        if (hr == S_OK)
            return false;
        EXPECT_EQ(hr, E_OUTOFMEMORY);
        EXPECT_EQ(text, nullptr);
        return true;
    });
    EXPECT_GE(points, 2);

    std::u16string longName(200, u'n');
    points = failEachAllocation([&] {
        HRESULT hr = runner.SetVariable(longName.c_str(), u"v");
        if (hr == S_OK)
            return false;
        EXPECT_EQ(hr, E_OUTOFMEMORY);
        return true;
    });
    EXPECT_GT(points, 0);
}
