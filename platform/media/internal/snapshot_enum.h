// For the platform layer only: an enumerator over a snapshot of objects
// (a filter's pins, a graph's filters), each held with a reference until the
// enumerator goes.
#pragma once

#include <vector>

#include "platform/media/media_interfaces.h"

namespace os::detail {

template <class Enum, class Item, const IID& EnumId>
class CSnapshotEnum final : public CUnknown, public Enum {
public:
    explicit CSnapshotEnum(std::vector<Item*> items) : CUnknown(nullptr), items_(std::move(items)) {}
    ~CSnapshotEnum() override
    {
        for (Item* item : items_) item->Release();
    }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override
    {
        if (iid == EnumId || iid == IID_IUnknown) return GetInterface(static_cast<Enum*>(this), out);
        return CUnknown::NonDelegatingQueryInterface(iid, out);
    }
    // Up to `count` items with a reference each; S_FALSE when fewer were left.
    HRESULT Next(ULONG count, Item** items, ULONG* fetched) override
    {
        if (!items) return E_POINTER;
        ULONG n = 0;
        while (n < count && next_ < items_.size()) {
            items[n] = items_[next_++];
            items[n++]->AddRef();
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Reset() override
    {
        next_ = 0;
        return S_OK;
    }

    // Hands out a new enumerator over `items` (whose references it takes).
    static HRESULT Make(std::vector<Item*> items, Enum** out)
    {
        auto* e = new CSnapshotEnum(std::move(items));
        return GetInterface(static_cast<Enum*>(e), reinterpret_cast<void**>(out));
    }

private:
    std::vector<Item*> items_;
    std::size_t next_ = 0;
};

}  // namespace os::detail
