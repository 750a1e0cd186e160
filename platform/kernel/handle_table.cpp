#include "platform/kernel/internal/handle_table.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

namespace os::detail {

namespace {

constexpr std::uintptr_t kStep = 4;
constexpr std::size_t kValueCount = (kHandleValueLimit - kFirstHandleValue) / kStep;

struct Table {
    std::mutex mu;
    std::unordered_map<std::uintptr_t, HandleKind> live;
    std::uintptr_t next = kFirstHandleValue;
};

Table& TheTable()
{
    static Table table;
    return table;
}

std::uintptr_t Valid(std::uintptr_t value)
{
    if (value < kFirstHandleValue || value >= kHandleValueLimit) return kFirstHandleValue;
    return value - (value - kFirstHandleValue) % kStep;
}

}  // namespace

std::uintptr_t NewHandleValue(HandleKind kind)
{
    Table& table = TheTable();
    std::lock_guard<std::mutex> lk(table.mu);
    if (table.live.size() >= kValueCount) {
        std::fprintf(stderr, "platform: all %zu handle values are in use; handles are leaking\n", kValueCount);
        std::abort();
    }
    for (;;) {
        const std::uintptr_t value = table.next;
        table.next = value + kStep < kHandleValueLimit ? value + kStep : kFirstHandleValue;
        if (table.live.emplace(value, kind).second) return value;
    }
}

bool ReleaseHandleValue(std::uintptr_t value, HandleKind kind)
{
    Table& table = TheTable();
    std::lock_guard<std::mutex> lk(table.mu);
    const auto it = table.live.find(value);
    if (it == table.live.end() || it->second != kind) return false;
    table.live.erase(it);
    return true;
}

bool IsLiveHandle(std::uintptr_t value, HandleKind kind)
{
    Table& table = TheTable();
    std::lock_guard<std::mutex> lk(table.mu);
    const auto it = table.live.find(value);
    return it != table.live.end() && it->second == kind;
}

void ResetHandleValues()
{
    Table& table = TheTable();
    std::lock_guard<std::mutex> lk(table.mu);
    table.live.clear();
    table.next = kFirstHandleValue;
}

void SetNextHandleValue(std::uintptr_t value)
{
    Table& table = TheTable();
    std::lock_guard<std::mutex> lk(table.mu);
    table.next = Valid(value);
}

}  // namespace os::detail
