// Component object basics of the media framework: interface ids, the
// reference-counted IUnknown every media object answers to, result codes, and
// CoCreateInstance for the platform classes the recorder creates by id. An
// object lives as long as someone holds a reference; QueryInterface hands
// out a new reference or E_NOINTERFACE.
#pragma once

#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/base/com.h"
#include "platform/base/types.h"

namespace os {

using ULONG = std::uint32_t;
using REFERENCE_TIME = std::int64_t;  // 100 ns units
constexpr REFERENCE_TIME MAXLONGLONG = INT64_MAX;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
    bool operator==(const GUID& o) const { return std::memcmp(this, &o, sizeof(GUID)) == 0; }
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const GUID&;
using REFCLSID = const GUID&;
using REFGUID = const GUID&;
constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// A media subtype named by a four-character code: "XXXX"-0000-0010-8000-00AA00389B71.
constexpr GUID FourCcGuid(std::uint32_t fourCc)
{
    return GUID{fourCc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}
constexpr std::uint32_t FourCc(char a, char b, char c, char d)
{
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(a)) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(d)) << 24;
}

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr HRESULT MakeHr(std::uint32_t v) { return static_cast<HRESULT>(v); }
constexpr HRESULT HRESULT_FROM_WIN32(std::uint32_t e) { return e == 0 ? S_OK : MakeHr(0x80070000u | (e & 0xFFFFu)); }

constexpr HRESULT E_NOTIMPL = MakeHr(0x80004001u);
constexpr HRESULT E_NOINTERFACE = MakeHr(0x80004002u);
constexpr HRESULT E_POINTER = MakeHr(0x80004003u);
constexpr HRESULT E_ABORT = MakeHr(0x80004004u);
constexpr HRESULT E_FAIL = MakeHr(0x80004005u);
constexpr HRESULT E_UNEXPECTED = MakeHr(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = MakeHr(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = MakeHr(0x80070057u);
constexpr HRESULT E_DEVICE_NOT_PRESENT = MakeHr(0x80070037u);  // the device does not exist (error 55)
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHr(0x80040154u);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHr(0x80040110u);
constexpr HRESULT VFW_E_INVALIDMEDIATYPE = MakeHr(0x80040200u);
constexpr HRESULT VFW_E_NOT_CONNECTED = MakeHr(0x80040209u);
constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeHr(0x80040204u);
constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = MakeHr(0x80040207u);
constexpr HRESULT VFW_E_INVALID_DIRECTION = MakeHr(0x80040208u);
constexpr HRESULT VFW_E_NOT_IN_GRAPH = MakeHr(0x8004025Fu);
constexpr HRESULT VFW_E_NOT_STOPPED = MakeHr(0x80040224u);
constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MakeHr(0x8004022Au);
constexpr HRESULT VFW_E_WRONG_STATE = MakeHr(0x80040227u);
constexpr HRESULT VFW_E_DUPLICATE_NAME = MakeHr(0x8004025Au);
constexpr HRESULT VFW_E_NOT_FOUND = MakeHr(0x80040216u);
constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeHr(0x80040217u);
constexpr HRESULT VFW_E_NO_CLOCK = MakeHr(0x80040213u);
constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = MakeHr(0x80040249u);
constexpr HRESULT VFW_E_TIMEOUT = MakeHr(0x8004026Eu);
constexpr HRESULT VFW_S_STATE_INTERMEDIATE = 0x00040237;
constexpr HRESULT VFW_S_DUPLICATE_NAME = 0x0004022D;

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

// Implementation of IUnknown's counting for the platform's objects and the
// program's filters: the object deletes itself at the last Release. Classes
// route their interfaces (IID_IUnknown included: their main interface)
// through NonDelegatingQueryInterface and write DECLARE_IUNKNOWN in their
// body; an aggregated object forwards to its outer object instead.
class CUnknown {
public:
    explicit CUnknown(IUnknown* outer) : outer_(outer) {}
    virtual ~CUnknown() = default;
    CUnknown(const CUnknown&) = delete;
    CUnknown& operator=(const CUnknown&) = delete;

    virtual HRESULT NonDelegatingQueryInterface(REFIID iid, void** out);
    ULONG NonDelegatingAddRef();
    ULONG NonDelegatingRelease();
    // References held right now; 1 tells a holder it is the only one.
    ULONG References() const { return static_cast<ULONG>(__atomic_load_n(&refs_, __ATOMIC_ACQUIRE)); }
    IUnknown* Outer() const { return outer_; }

private:
    IUnknown* outer_;
    std::int32_t refs_ = 0;  // atomic through the builtins: objects cross threads
};

// Hands out `p` as the interface asked for, with a reference.
template <class I>
HRESULT GetInterface(I* p, void** out)
{
    if (!out) return E_POINTER;
    *out = p;
    p->AddRef();
    return S_OK;
}

#define DECLARE_IUNKNOWN                                                                        \
    ::os::HRESULT QueryInterface(::os::REFIID iid, void** out) override                        \
    {                                                                                           \
        return Outer() ? Outer()->QueryInterface(iid, out) : NonDelegatingQueryInterface(iid, out); \
    }                                                                                           \
    ::os::ULONG AddRef() override { return Outer() ? Outer()->AddRef() : NonDelegatingAddRef(); } \
    ::os::ULONG Release() override { return Outer() ? Outer()->Release() : NonDelegatingRelease(); }

constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// A counted reference that releases itself: the platform's and the tests'
// convenience; the program keeps raw pointers and releases them itself.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(T* p) : p_(p) { if (p_) p_->AddRef(); }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr o) { std::swap(p_, o.p_); return *this; }
    void Reset() { if (p_) { p_->Release(); p_ = nullptr; } }
    // Takes over a reference the caller already owns.
    void Attach(T* p) { Reset(); p_ = p; }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases the old pointer first.
    T** Out() { Reset(); return &p_; }
    void** OutVoid() { Reset(); return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

constexpr DWORD CLSCTX_INPROC_SERVER = 1;
constexpr DWORD CLSCTX_INPROC = 3;

// Creates an object of one of the platform's classes (media_classes.h);
// REGDB_E_CLASSNOTREG for any other id, CLASS_E_NOAGGREGATION when an outer
// object is given.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** out);
void CoTaskMemFree(void* p);
void* CoTaskMemAlloc(std::size_t size);

}  // namespace os
