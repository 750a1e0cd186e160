// For the platform layer only: the one table of handle values.
//
// Every kind of handle the platform hands out (kernel objects, files and
// devices, searches, serial ports, driver instances, power notifications, resource libraries,
// icons, accelerator tables, registry keys and notifications, text message handles and line
// applications, graphics objects and device contexts) draws its value here, so a value
// names at most one live handle, of one kind. What stands behind a handle
// stays with the module of its kind, which checks the kind here before it
// trusts a value. Values are multiples of 4 from kFirstHandleValue up to
// kHandleValueLimit; after the last one the count starts again at the bottom
// and passes over every value still live, so a value is never handed out
// twice while it is in use.
//
// The table has a mutex of its own that is always taken last: callers may
// hold Sched().mu or their module's mutex, and nothing here waits or calls out.
#pragma once

#include <cstdint>

namespace os::detail {

enum class HandleKind : unsigned char {
    Kernel,       // events, threads (and the message queues built on events)
    File,         // open files, "VOL:" devices, stores
    Find,         // file, store and partition searches
    Comm,         // serial ports
    Device,       // other driver instances opened by device name ("ACC1:")
    PowerNotification,
    Library,      // resource libraries
    Icon,
    Accelerator,
    Registry,     // registry keys and change notifications
    Phone,        // text message handles and telephony line applications
    Gdi,          // bitmaps, brushes, pens, fonts and device contexts
};

constexpr std::uintptr_t kFirstHandleValue = 0x100;
constexpr std::uintptr_t kHandleValueLimit = 0x10000000;

// A fresh value for a handle of `kind`, never 0. Every value live at once
// (some 67 million handles) can only be a leak: that is reported on standard
// error and the process aborts.
std::uintptr_t NewHandleValue(HandleKind kind);
// Gives the value back; false when it is not a live handle of `kind`.
bool ReleaseHandleValue(std::uintptr_t value, HandleKind kind);
bool IsLiveHandle(std::uintptr_t value, HandleKind kind);

// Forgets every value: the next one handed out is the lowest.
void ResetHandleValues();
// The value the next search for a free one starts at (rounded to a valid
// value); lets tests reach the wrap-around without a quarter billion handles.
void SetNextHandleValue(std::uintptr_t value);

}  // namespace os::detail
