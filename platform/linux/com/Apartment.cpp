// CoInitialize(Ex) and CoUninitialize: a count per thread, and the apartment
// model chosen by the thread's first successful call.
#include "platform/Com.h"
#include "platform/linux/com/Apartment.h"

#include <atomic>

namespace {

std::atomic<LONG> g_multithreadedThreads{0};

struct ThreadApartment {
    ULONG count = 0;
    bool multithreaded = false;

    ~ThreadApartment()
    {
        // A thread that ends inside the multithreaded apartment leaves it.
        if (count > 0 && multithreaded)
            g_multithreadedThreads.fetch_sub(1);
    }
};

thread_local ThreadApartment t_apartment;

} // namespace

namespace comrt {

bool comUsableOnThisThread()
{
    return t_apartment.count > 0 || g_multithreadedThreads.load() > 0;
}

} // namespace comrt

HRESULT STDAPICALLTYPE CoInitializeEx(LPVOID /*pvReserved*/, DWORD dwCoInit)
{
    constexpr DWORD known =
        COINIT_MULTITHREADED | COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE | COINIT_SPEED_OVER_MEMORY;
    if ((dwCoInit & ~known) != 0)
        return E_INVALIDARG;
    bool multithreaded = (dwCoInit & COINIT_APARTMENTTHREADED) == 0;
    ThreadApartment& apartment = t_apartment;
    if (apartment.count == 0) {
        apartment.count = 1;
        apartment.multithreaded = multithreaded;
        if (multithreaded)
            g_multithreadedThreads.fetch_add(1);
        return S_OK;
    }
    // A different model is refused and not counted: no CoUninitialize may follow it.
    if (apartment.multithreaded != multithreaded)
        return RPC_E_CHANGED_MODE;
    ++apartment.count;
    return S_FALSE;
}

HRESULT STDAPICALLTYPE CoInitialize(LPVOID pvReserved)
{
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

void STDAPICALLTYPE CoUninitialize()
{
    ThreadApartment& apartment = t_apartment;
    if (apartment.count == 0)
        return;
    if (--apartment.count == 0 && apartment.multithreaded) {
        apartment.multithreaded = false;
        g_multithreadedThreads.fetch_sub(1);
    }
}
