#include <cstdlib>

#include "platform/media/internal/media_classes.h"
#include "platform/media/media_interfaces.h"

namespace os {

HRESULT CUnknown::NonDelegatingQueryInterface(REFIID iid, void** out)
{
    // Each class answers IID_IUnknown with its main interface itself.
    (void)iid;
    if (!out) return E_POINTER;
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG CUnknown::NonDelegatingAddRef() { return static_cast<ULONG>(__atomic_add_fetch(&refs_, 1, __ATOMIC_ACQ_REL)); }

ULONG CUnknown::NonDelegatingRelease()
{
    const std::int32_t left = __atomic_sub_fetch(&refs_, 1, __ATOMIC_ACQ_REL);
    if (left == 0) delete this;
    return static_cast<ULONG>(left < 0 ? 0 : left);
}

void* CoTaskMemAlloc(std::size_t size) { return std::malloc(size ? size : 1); }
void CoTaskMemFree(void* p) { std::free(p); }

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    HRESULT hr = S_OK;
    CUnknown* object = detail::CreatePlatformObject(clsid, &hr);
    if (!object) return FAILED(hr) ? hr : REGDB_E_CLASSNOTREG;
    object->NonDelegatingAddRef();
    hr = object->NonDelegatingQueryInterface(iid, out);
    object->NonDelegatingRelease();
    return hr;
}

}  // namespace os
