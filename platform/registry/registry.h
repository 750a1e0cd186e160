// The registry of the phone OS: a tree of keys under three roots, each key
// holding named, typed values. Key paths and value names compare without
// regard to ASCII case and keep the case they were created with; a subkey
// may start with one backslash ("\Software\Holmbrek\Ardvane").
//
// Texts are UTF-8. A REG_SZ value holds the text's bytes plus one zero byte,
// and its size is that byte count. Only REG_NONE, REG_SZ, REG_BINARY and
// REG_DWORD (exactly 4 bytes) are kept; other types are refused.
//
// Every change is written through to the device root's registry file before
// the call returns (see registry_sim.h); a change that cannot be written is
// refused and leaves the registry as it was, and so is every change while
// the file on the host cannot be read (ERROR_READ_FAULT). As on the phone, the access mask
// of RegOpenKeyExW / RegCreateKeyExW is not enforced, and RegDeleteKeyW
// deletes a key together with all its subkeys.
//
// Calls return ERROR_SUCCESS or an error code of types.h; a closed or bogus
// handle gives ERROR_INVALID_HANDLE, a handle to a deleted key
// ERROR_KEY_DELETED, and every call made while no registry is open
// ERROR_DEVICE_NOT_AVAILABLE. All calls are safe from any thread.
#pragma once

#include <string>
#include <vector>

#include "platform/base/types.h"

namespace os {

inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u));
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u));
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u));

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;

// Access masks, accepted and not enforced.
constexpr DWORD KEY_QUERY_VALUE = 0x0001;
constexpr DWORD KEY_SET_VALUE = 0x0002;
constexpr DWORD KEY_READ = 0x20019;
constexpr DWORD KEY_WRITE = 0x20006;
constexpr DWORD KEY_ALL_ACCESS = 0xF003F;

constexpr LONG ERROR_KEY_DELETED = 1018;

LONG RegOpenKeyExW(HKEY root, const char* subkey, DWORD options, DWORD access, HKEY* out);
// Creates the missing keys of the path, the intermediate ones included.
// The class, options and security arguments are accepted and ignored.
LONG RegCreateKeyExW(HKEY root, const char* subkey, DWORD reserved, const char* keyClass, DWORD options,
                     DWORD access, void* security, HKEY* out, DWORD* disposition);
LONG RegCloseKey(HKEY key);

// A null or empty name is the key's default value. With data null, only
// *cbData (the size) and *type are filled in. When *cbData is too small the
// result is ERROR_MORE_DATA with the needed size in *cbData, and no data.
LONG RegQueryValueExW(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* cbData);
// REG_SZ data is read up to its first zero byte (or cb bytes) and must be
// UTF-8; the terminator is added when missing.
LONG RegSetValueExW(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data, DWORD cb);
LONG RegDeleteValueW(HKEY key, const char* name);
// Deletes the subkey and everything below it. A root cannot be deleted.
LONG RegDeleteKeyW(HKEY key, const char* subkey);
// The index-th direct subkey in case-insensitive name order, or
// ERROR_NO_MORE_ITEMS past the last one.
LONG RegEnumKeyExW(HKEY key, DWORD index, std::string* name);

// Typed reads and writes. A read of a value of another type gives
// ERROR_INVALID_DATA and leaves *out unchanged.
LONG RegQueryDword(HKEY key, const char* name, DWORD* out);
LONG RegQueryString(HKEY key, const char* name, std::string* out);
LONG RegQueryBinary(HKEY key, const char* name, std::vector<BYTE>* out);
LONG RegSetDword(HKEY key, const char* name, DWORD value);
LONG RegSetString(HKEY key, const char* name, const std::string& text);
LONG RegSetBinary(HKEY key, const char* name, const std::vector<BYTE>& data);

// Change notification on one value: whenever the value is set to different
// data (a new value included) or deleted, with its key or alone, `msg` is
// posted to `hwnd` with wParam 0 and lParam userData. The key need not exist
// yet. Only a null condition (any change) is supported. A post may still
// arrive just after RegistryCloseNotification returns.
struct HREGNOTIFY__;
using HREGNOTIFY = HREGNOTIFY__*;
LONG RegistryNotifyWindow(HKEY root, const char* subkey, const char* valueName, HWND hwnd, UINT msg,
                          DWORD userData, void* condition, HREGNOTIFY* out);
LONG RegistryCloseNotification(HREGNOTIFY notification);

}  // namespace os
