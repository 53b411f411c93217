#include "platform/linux/media/MediaEnumerators.h"

#include "platform/Com.h"
#include "platform/linux/media/MediaCommon.h"

#include <cstring>
#include <new>

namespace comrt::media {

namespace {

// An enumerator over a shared snapshot: the cursor, Skip, Reset, Clone and
// the bookkeeping of Next; `Traits` says how one item is handed out and
// taken back.
template <class Interface, class Traits>
class Enumerator final : public Interface {
public:
    using Item = typename Traits::Item;
    using Out = typename Traits::Out;
    using Items = std::vector<Item>;

    Enumerator(std::shared_ptr<const Items> items, size_t position = 0) : m_items(std::move(items)), m_position(position)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == Traits::iid()) {
            *ppv = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_refs.addRef(); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG n = m_refs.release();
        if (n == 0)
            delete this;
        return n;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, Out* out, ULONG* fetched) override
    {
        if (!out || (!fetched && count != 1))
            return E_POINTER;
        ULONG n = 0;
        while (n < count && m_position < m_items->size()) {
            out[n] = Traits::handOut((*m_items)[m_position]);
            if (!out[n]) {
                while (n > 0)
                    Traits::takeBack(out[--n]);
                if (fetched)
                    *fetched = 0;
                return E_OUTOFMEMORY;
            }
            ++n;
            ++m_position;
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        size_t left = m_items->size() - m_position;
        if (count > left) {
            m_position = m_items->size();
            return S_FALSE;
        }
        m_position += count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        m_position = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(Interface** ppEnum) override
    {
        if (!ppEnum)
            return E_POINTER;
        *ppEnum = new (std::nothrow) Enumerator(m_items, m_position);
        return *ppEnum ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~Enumerator() = default;

    RefCount m_refs;
    std::shared_ptr<const Items> m_items;
    size_t m_position;
};

// Counted interfaces: the snapshot holds one reference to each.
template <class T>
struct CountedItem {
    ComPtr<T> p;
};

template <class T, const GUID* Iid>
struct CountedTraits {
    using Item = CountedItem<T>;
    using Out = T*;
    static const GUID& iid() { return *Iid; }
    static T* handOut(const Item& item)
    {
        item.p->AddRef();
        return item.p.get();
    }
    static void takeBack(T* p) { p->Release(); }
};

struct MediaTypeTraits {
    using Item = std::shared_ptr<MediaType>;
    using Out = AM_MEDIA_TYPE*;
    static const GUID& iid() { return IID_IEnumMediaTypes; }
    // Each type goes out as a record of its own from CoTaskMemAlloc, as the
    // caller frees it.
    static AM_MEDIA_TYPE* handOut(const Item& item)
    {
        auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        if (!mt)
            return nullptr;
        if (FAILED(copyMediaType(*mt, item->get()))) {
            CoTaskMemFree(mt);
            return nullptr;
        }
        return mt;
    }
    static void takeBack(AM_MEDIA_TYPE* mt)
    {
        freeMediaTypeContents(*mt);
        CoTaskMemFree(mt);
    }
};

template <class Interface, class Traits, class Source>
HRESULT makeEnumerator(Source items, Interface** ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    try {
        auto snapshot = std::make_shared<std::vector<typename Traits::Item>>();
        for (auto& item : items) {
            if constexpr (std::is_pointer_v<std::decay_t<decltype(item)>>)
                snapshot->push_back(typename Traits::Item{ComPtr(item)});
            else
                snapshot->push_back(std::move(item));
        }
        *ppEnum = new Enumerator<Interface, Traits>(std::move(snapshot));
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

} // namespace

HRESULT createPinEnumerator(std::vector<IPin*> pins, IEnumPins** ppEnum)
{
    return makeEnumerator<IEnumPins, CountedTraits<IPin, &IID_IEnumPins>>(std::move(pins), ppEnum);
}

HRESULT createFilterEnumerator(std::vector<IBaseFilter*> filters, IEnumFilters** ppEnum)
{
    return makeEnumerator<IEnumFilters, CountedTraits<IBaseFilter, &IID_IEnumFilters>>(std::move(filters), ppEnum);
}

HRESULT createMediaTypeEnumerator(std::vector<std::shared_ptr<MediaType>> types, IEnumMediaTypes** ppEnum)
{
    return makeEnumerator<IEnumMediaTypes, MediaTypeTraits>(std::move(types), ppEnum);
}

} // namespace comrt::media
