#include <algorithm>

#include "platform/registry/registry.h"
#include "platform/registry/internal/registry_state.h"
#include "platform/kernel/internal/handle_table.h"

namespace os {

namespace {

using detail::RegistryLock;
using detail::RegKey;
using detail::RegTree;
using detail::RegValue;

std::string NameOf(const char* name) { return name ? name : ""; }

bool ValidName(const char* name) { return detail::IsValidUtf8(NameOf(name)); }

// The full path of `subkey` below an open key.
LONG SubkeyPath(const RegistryLock& lock, HKEY key, const char* subkey, std::string* path)
{
    std::string base;
    if (const LONG result = lock.KeyPath(key, &base); result != ERROR_SUCCESS) {
        return result;
    }
    if (!ValidName(subkey)) {
        return ERROR_INVALID_NAME;
    }
    const std::optional<std::string> full = detail::AppendSubkey(base, subkey);
    if (!full) {
        return ERROR_INVALID_NAME;
    }
    *path = *full;
    return ERROR_SUCCESS;
}

HKEY AddHandle(RegistryLock& lock, const RegKey& key)
{
    const std::uintptr_t id = lock.NewHandle();
    lock.State().keys[id] = detail::OpenKey{key.path, key.serial};
    return reinterpret_cast<HKEY>(id);
}

LONG MakeValue(const char* name, DWORD type, const BYTE* data, DWORD cb, RegValue* value)
{
    if ((!data && cb > 0) || !ValidName(name)) {
        return ERROR_INVALID_PARAMETER;
    }
    value->name = NameOf(name);
    value->type = type;
    const BYTE* end = data ? data + cb : data;
    switch (type) {
    case REG_DWORD:
        if (cb != sizeof(DWORD)) {
            return ERROR_INVALID_PARAMETER;
        }
        value->data.assign(data, end);
        return ERROR_SUCCESS;
    case REG_SZ: {
        const BYTE* textEnd = data ? std::find(data, end, BYTE{0}) : data;
        const std::string text(data, textEnd);
        if (!detail::IsValidUtf8(text)) {
            return ERROR_INVALID_DATA;
        }
        value->data.assign(text.begin(), text.end());
        value->data.push_back(0);
        return ERROR_SUCCESS;
    }
    case REG_BINARY:
    case REG_NONE:
        value->data.assign(data, end);
        return ERROR_SUCCESS;
    default:
        return ERROR_NOT_SUPPORTED;
    }
}

const RegValue* FindValue(const RegTree& tree, const std::string& path, const char* name)
{
    const RegKey* key = tree.Find(path);
    const auto it = key->values.find(detail::FoldCase(NameOf(name)));
    return it == key->values.end() ? nullptr : &it->second;
}

}  // namespace

LONG RegOpenKeyExW(HKEY root, const char* subkey, DWORD, DWORD, HKEY* out)
{
    if (!out) {
        return ERROR_INVALID_PARAMETER;
    }
    RegistryLock lock;
    std::string path;
    if (const LONG result = SubkeyPath(lock, root, subkey, &path); result != ERROR_SUCCESS) {
        return result;
    }
    const RegKey* key = lock.Tree().Find(path);
    if (!key) {
        return ERROR_FILE_NOT_FOUND;
    }
    *out = AddHandle(lock, *key);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExW(HKEY root, const char* subkey, DWORD, const char*, DWORD, DWORD, void*, HKEY* out,
                     DWORD* disposition)
{
    if (!out) {
        return ERROR_INVALID_PARAMETER;
    }
    RegistryLock lock;
    std::string path;
    if (const LONG result = SubkeyPath(lock, root, subkey, &path); result != ERROR_SUCCESS) {
        return result;
    }
    bool created = false;
    if (!lock.Tree().Find(path)) {
        RegTree next = lock.Tree();
        next.Create(path, &created);
        if (const LONG result = lock.Commit(std::move(next)); result != ERROR_SUCCESS) {
            return result;
        }
    }
    if (disposition) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    *out = AddHandle(lock, *lock.Tree().Find(path));
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    RegistryLock lock;
    if (!lock.State().open) {
        return ERROR_DEVICE_NOT_AVAILABLE;
    }
    if (RegTree::RootName(key)) {
        return ERROR_SUCCESS;
    }
    const auto value = reinterpret_cast<std::uintptr_t>(key);
    if (lock.State().keys.erase(value) == 0) {
        return ERROR_INVALID_HANDLE;
    }
    detail::ReleaseHandleValue(value, detail::HandleKind::Registry);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, const char* name, DWORD*, DWORD* type, BYTE* data, DWORD* cbData)
{
    if (data && !cbData) {
        return ERROR_INVALID_PARAMETER;
    }
    RegistryLock lock;
    std::string path;
    if (const LONG result = lock.KeyPath(key, &path); result != ERROR_SUCCESS) {
        return result;
    }
    const RegValue* value = FindValue(lock.Tree(), path, name);
    if (!value) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (type) {
        *type = value->type;
    }
    if (!cbData) {
        return ERROR_SUCCESS;
    }
    const auto size = static_cast<DWORD>(value->data.size());
    const DWORD room = *cbData;
    *cbData = size;
    if (!data) {
        return ERROR_SUCCESS;
    }
    if (room < size) {
        return ERROR_MORE_DATA;
    }
    std::copy(value->data.begin(), value->data.end(), data);
    return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, const char* name, DWORD, DWORD type, const BYTE* data, DWORD cb)
{
    RegValue value;
    if (const LONG result = MakeValue(name, type, data, cb, &value); result != ERROR_SUCCESS) {
        return result;
    }
    RegistryLock lock;
    std::string path;
    if (const LONG result = lock.KeyPath(key, &path); result != ERROR_SUCCESS) {
        return result;
    }
    const RegValue* old = FindValue(lock.Tree(), path, name);
    if (old && old->SameContent(value)) {
        return ERROR_SUCCESS;
    }
    if (old) {
        value.name = old->name;
    }
    RegTree next = lock.Tree();
    next.Find(path)->values[detail::FoldCase(value.name)] = std::move(value);
    return lock.Commit(std::move(next));
}

LONG RegDeleteValueW(HKEY key, const char* name)
{
    RegistryLock lock;
    std::string path;
    if (const LONG result = lock.KeyPath(key, &path); result != ERROR_SUCCESS) {
        return result;
    }
    if (!FindValue(lock.Tree(), path, name)) {
        return ERROR_FILE_NOT_FOUND;
    }
    RegTree next = lock.Tree();
    next.Find(path)->values.erase(detail::FoldCase(NameOf(name)));
    return lock.Commit(std::move(next));
}

LONG RegDeleteKeyW(HKEY key, const char* subkey)
{
    RegistryLock lock;
    std::string path;
    if (const LONG result = SubkeyPath(lock, key, subkey, &path); result != ERROR_SUCCESS) {
        return result;
    }
    if (lock.Tree().IsRoot(path)) {
        return ERROR_ACCESS_DENIED;
    }
    if (!lock.Tree().Find(path)) {
        return ERROR_FILE_NOT_FOUND;
    }
    RegTree next = lock.Tree();
    next.Erase(path);
    return lock.Commit(std::move(next));
}

LONG RegEnumKeyExW(HKEY key, DWORD index, std::string* name)
{
    if (!name) {
        return ERROR_INVALID_PARAMETER;
    }
    RegistryLock lock;
    std::string path;
    if (const LONG result = lock.KeyPath(key, &path); result != ERROR_SUCCESS) {
        return result;
    }
    const std::vector<const RegKey*> children = lock.Tree().Children(path);
    if (index >= children.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const std::string& child = children[index]->path;
    *name = child.substr(child.rfind('\\') + 1);
    return ERROR_SUCCESS;
}

}  // namespace os
