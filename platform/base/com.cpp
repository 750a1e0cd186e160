#include "platform/base/com.h"

#include <atomic>

#include "platform/base/internal/fresh_start.h"

namespace os {

namespace {
std::atomic<int> g_initCount{0};
}

HRESULT CoInitializeEx(void*, DWORD)
{
    return g_initCount.fetch_add(1) == 0 ? S_OK : S_FALSE;
}

void CoUninitialize()
{
    int count = g_initCount.load();
    while (count > 0 && !g_initCount.compare_exchange_weak(count, count - 1)) {
    }
}

int sim::ComInitCount() { return g_initCount.load(); }

void detail::ResetCom() { g_initCount.store(0); }

}  // namespace os
