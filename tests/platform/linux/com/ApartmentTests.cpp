// Apartment initialisation: counts per thread, the model chosen first, and the
// multithreaded apartment that takes in uninitialised threads.
#include "platform/Com.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// Creating the built-in global interface table tells whether COM is usable here.
HRESULT tryCreate()
{
    IUnknown* object = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&object));
    if (object)
        object->Release();
    return hr;
}

} // namespace

TEST(Apartment, CountsCallsAndRefusesAnotherModelWithoutCounting)
{
    EXPECT_EQ(CO_E_NOTINITIALIZED, tryCreate());
    CoUninitialize(); // on an uninitialised thread: nothing happens

    EXPECT_EQ(S_OK, CoInitialize(nullptr));
    EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    EXPECT_EQ(S_OK, tryCreate());

    CoUninitialize();
    EXPECT_EQ(S_OK, tryCreate()) << "one call is still open";
    CoUninitialize();
    EXPECT_EQ(CO_E_NOTINITIALIZED, tryCreate()) << "the refused call was not counted";

    // Fully uninitialised, the thread may choose the other model.
    EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitialize(nullptr));
    CoUninitialize();
    EXPECT_EQ(E_INVALIDARG, CoInitializeEx(nullptr, 0x100));
}

TEST(Apartment, EachThreadHasItsOwnApartment)
{
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
    HRESULT other = E_FAIL;
    std::thread([&] {
        other = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CoUninitialize();
    }).join();
    EXPECT_EQ(S_OK, other);
    CoUninitialize();
}

TEST(Apartment, MultithreadedApartmentTakesInUninitialisedThreads)
{
    std::mutex mutex;
    std::condition_variable changed;
    int stage = 0;
    std::thread member([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {
            std::lock_guard lock(mutex);
            stage = 1;
        }
        changed.notify_all();
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stage == 2; });
        CoUninitialize();
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stage == 1; });
    }
    EXPECT_EQ(S_OK, tryCreate()) << "the process has a multithreaded apartment";
    {
        std::lock_guard lock(mutex);
        stage = 2;
    }
    changed.notify_all();
    member.join();
    EXPECT_EQ(CO_E_NOTINITIALIZED, tryCreate());
}
