// Serial port control: line settings, time-outs, queue sizes, events, purge,
// modem lines and error status.
#include "platform/devices/internal/comm_internal.h"
#include "platform/kernel/sync.h"

namespace os {
namespace {

using detail::CommMutex;
using detail::CommPort;
using detail::FindCommPortLocked;

bool ValidState(const DCB& dcb)
{
    return dcb.DCBlength == sizeof(DCB) && dcb.BaudRate != 0 && dcb.ByteSize >= 5 && dcb.ByteSize <= 8 &&
           dcb.Parity <= SPACEPARITY && dcb.StopBits <= TWOSTOPBITS;
}

// Runs `use` on the open port of `handle` under the port lock; FALSE when
// there is none.
template <typename Use>
BOOL WithPort(HANDLE handle, Use use)
{
    std::lock_guard<std::mutex> lock(CommMutex());
    auto port = FindCommPortLocked(handle);
    if (!port)
        return FALSE;
    return use(*port);
}

BOOL InvalidParameter()
{
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

}  // namespace

BOOL GetCommState(HANDLE handle, DCB* dcb)
{
    if (dcb == nullptr)
        return InvalidParameter();
    return WithPort(handle, [&](CommPort& port) {
        *dcb = port.dcb;
        return TRUE;
    });
}

BOOL SetCommState(HANDLE handle, const DCB* dcb)
{
    if (dcb == nullptr || !ValidState(*dcb))
        return InvalidParameter();
    std::shared_ptr<sim::CommLine> line;
    const BOOL ok = WithPort(handle, [&](CommPort& port) {
        port.dcb = *dcb;
        line = port.line;
        return TRUE;
    });
    if (ok && line)
        line->OnSettingsChanged(*dcb);
    return ok;
}

BOOL GetCommTimeouts(HANDLE handle, COMMTIMEOUTS* timeouts)
{
    if (timeouts == nullptr)
        return InvalidParameter();
    return WithPort(handle, [&](CommPort& port) {
        *timeouts = port.timeouts;
        return TRUE;
    });
}

BOOL SetCommTimeouts(HANDLE handle, const COMMTIMEOUTS* timeouts)
{
    if (timeouts == nullptr)
        return InvalidParameter();
    return WithPort(handle, [&](CommPort& port) {
        port.timeouts = *timeouts;
        return TRUE;
    });
}

BOOL SetupComm(HANDLE handle, DWORD inQueue, DWORD /*outQueue*/)
{
    if (inQueue == 0)
        return InvalidParameter();
    return WithPort(handle, [&](CommPort& port) {
        port.inQueueSize = inQueue;
        return TRUE;
    });
}

BOOL SetCommMask(HANDLE handle, DWORD mask)
{
    return WithPort(handle, [&](CommPort& port) {
        port.mask = mask;
        port.pendingEvents &= mask;
        ++port.maskChanges;
        SetEvent(port.commEvent);
        return TRUE;
    });
}

BOOL GetCommMask(HANDLE handle, DWORD* mask)
{
    if (mask == nullptr)
        return InvalidParameter();
    return WithPort(handle, [&](CommPort& port) {
        *mask = port.mask;
        return TRUE;
    });
}

BOOL WaitCommEvent(HANDLE handle, DWORD* events, void* overlapped)
{
    if (events == nullptr || overlapped != nullptr)
        return InvalidParameter();
    bool first = true;
    unsigned maskChanges = 0;
    for (;;) {
        HANDLE commEvent = nullptr;
        {
            std::lock_guard<std::mutex> lock(CommMutex());
            auto port = FindCommPortLocked(handle);
            if (!port)
                return FALSE;
            if (first) {
                if (port->mask == 0)
                    return InvalidParameter();
                maskChanges = port->maskChanges;
                first = false;
            }
            const DWORD happened = port->pendingEvents & port->mask;
            if (happened != 0 || port->maskChanges != maskChanges) {
                *events = happened;
                port->pendingEvents &= ~happened;
                ResetEvent(port->commEvent);
                return TRUE;
            }
            ResetEvent(port->commEvent);
            commEvent = port->commEvent;
        }
        if (WaitForSingleObject(commEvent, INFINITE) == WAIT_FAILED) {  // the port was closed
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
}

BOOL PurgeComm(HANDLE handle, DWORD flags)
{
    constexpr DWORD kKnown = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
    if ((flags & ~kKnown) != 0)
        return InvalidParameter();
    return WithPort(handle, [&](CommPort& port) {
        if ((flags & PURGE_RXCLEAR) != 0)
            port.received.clear();
        if ((flags & PURGE_RXABORT) != 0) {
            ++port.readAborts;
            SetEvent(port.dataEvent);  // wake the reader; it re-checks and leaves
            return TRUE;
        }
        detail::UpdateCommSignals(port);
        return TRUE;
    });
}

BOOL EscapeCommFunction(HANDLE handle, DWORD function)
{
    switch (function) {
    case SETXOFF:
    case SETXON:
    case SETRTS:
    case CLRRTS:
    case SETDTR:
    case CLRDTR:
    case SETBREAK:
    case CLRBREAK:
        return WithPort(handle, [](CommPort&) { return TRUE; });
    default:
        return InvalidParameter();
    }
}

BOOL ClearCommError(HANDLE handle, DWORD* errors, COMSTAT* status)
{
    return WithPort(handle, [&](CommPort& port) {
        if (errors != nullptr)
            *errors = port.errors;
        port.errors = 0;
        if (status != nullptr) {
            *status = COMSTAT{};
            status->cbInQue = static_cast<DWORD>(port.received.size());
        }
        return TRUE;
    });
}

}  // namespace os
