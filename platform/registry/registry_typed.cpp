#include <cstring>

#include "platform/registry/registry.h"

namespace os {

namespace {

// Reads a whole value of the expected type into `data`; a value that grows
// between the size query and the read is asked for again.
LONG QueryTyped(HKEY key, const char* name, DWORD expectedType, std::vector<BYTE>* data)
{
    LONG result = ERROR_MORE_DATA;
    while (result == ERROR_MORE_DATA) {
        DWORD type = 0;
        DWORD size = 0;
        result = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
        if (result != ERROR_SUCCESS) {
            return result;
        }
        data->resize(size);
        result = RegQueryValueExW(key, name, nullptr, &type, data->data(), &size);
        if (result == ERROR_SUCCESS && type != expectedType) {
            return ERROR_INVALID_DATA;
        }
        data->resize(size);
    }
    return result;
}

}  // namespace

LONG RegQueryDword(HKEY key, const char* name, DWORD* out)
{
    std::vector<BYTE> data;
    const LONG result = QueryTyped(key, name, REG_DWORD, &data);
    if (result == ERROR_SUCCESS) {
        std::memcpy(out, data.data(), sizeof *out);
    }
    return result;
}

LONG RegQueryString(HKEY key, const char* name, std::string* out)
{
    std::vector<BYTE> data;
    const LONG result = QueryTyped(key, name, REG_SZ, &data);
    if (result == ERROR_SUCCESS) {
        out->assign(data.begin(), data.end() - 1);
    }
    return result;
}

LONG RegQueryBinary(HKEY key, const char* name, std::vector<BYTE>* out)
{
    std::vector<BYTE> data;
    const LONG result = QueryTyped(key, name, REG_BINARY, &data);
    if (result == ERROR_SUCCESS) {
        *out = std::move(data);
    }
    return result;
}

LONG RegSetDword(HKEY key, const char* name, DWORD value)
{
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG RegSetString(HKEY key, const char* name, const std::string& text)
{
    if (text.find('\0') != std::string::npos) {
        return ERROR_INVALID_PARAMETER;
    }
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

LONG RegSetBinary(HKEY key, const char* name, const std::vector<BYTE>& data)
{
    return RegSetValueExW(key, name, 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
}

}  // namespace os
