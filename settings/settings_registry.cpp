#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/registry/registry.h"
#include "settings/settings_store.h"

namespace {

constexpr const char* kKeyFormat = "\\Software\\Holmbrek\\%s";
constexpr const char* kProductName = "Ardvane";

// The stored size of a value, whatever its type.
bool QuerySize(os::HKEY key, const char* name, os::DWORD* size)
{
    os::DWORD type = 0;
    return os::RegQueryValueExW(key, name, nullptr, &type, nullptr, size) == os::ERROR_SUCCESS;
}

}  // namespace

os::HKEY OpenSettingsKey()
{
    char path[64];
    std::snprintf(path, sizeof path, kKeyFormat, kProductName);
    os::HKEY key = nullptr;
    if (os::RegOpenKeyExW(os::HKEY_CURRENT_USER, path, 0, os::KEY_ALL_ACCESS, &key) == os::ERROR_SUCCESS) {
        return key;
    }
    os::DWORD disposition = 0;
    if (os::RegCreateKeyExW(os::HKEY_CURRENT_USER, path, 0, "", os::REG_OPTION_NON_VOLATILE, os::KEY_ALL_ACCESS,
                            nullptr, &key, &disposition) == os::ERROR_SUCCESS) {
        return key;
    }
    return nullptr;
}

int ReadDwordValue(os::HKEY key, const char* name, uint32_t* field)
{
    os::DWORD size = 0;
    if (!QuerySize(key, name, &size)) {
        return 0;
    }
    os::BYTE data[sizeof(os::DWORD)] = {};
    os::DWORD type = 0;
    os::DWORD room = sizeof data;
    if (os::RegQueryValueExW(key, name, nullptr, &type, data, &room) != os::ERROR_SUCCESS) {
        return 0;
    }
    std::memcpy(field, data, sizeof data);
    return 1;
}

int ReadTextValue(os::HKEY key, const char* name, std::string* text)
{
    os::DWORD size = 0;
    if (!QuerySize(key, name, &size)) {
        return 0;
    }
    std::vector<os::BYTE> data(size);
    os::DWORD type = 0;
    if (os::RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) != os::ERROR_SUCCESS) {
        return 0;
    }
    text->assign(data.begin(), data.begin() + size);
    return 1;
}

int WriteDwordValue(os::HKEY key, const char* name, uint32_t value)
{
    return os::RegSetDword(key, name, value) == os::ERROR_SUCCESS ? 1 : 0;
}

int WriteStringValue(os::HKEY key, const char* name, std::string_view text)
{
    return os::RegSetString(key, name, std::string(text)) == os::ERROR_SUCCESS ? 1 : 0;
}

int DefaultLanguage(FixedText<64>* buffer)
{
    buffer->Assign("Korean");
    return 1;
}

int ReadLanguageSetting(std::string* language)
{
    const os::HKEY key = OpenSettingsKey();
    if (!key) {
        *language = "English";
        return 0;
    }
    FixedText<64> stored;
    if (!ReadStringValue(key, "Langauge", &stored) || stored.Empty()) {
        DefaultLanguage(&stored);
    }
    os::RegCloseKey(key);
    *language = stored.View();
    return 1;
}
