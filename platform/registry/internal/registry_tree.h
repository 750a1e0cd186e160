// For the registry's own files: the in-memory tree of keys and values.
//
// Keys are stored flat, by full path ("HKEY_CURRENT_USER\Software"), under
// their case-folded path so that lookups ignore ASCII case while each key and
// value keeps the spelling it was created with. The three roots always exist.
// Each key carries a serial number that a recreated key does not share, so
// that a handle to a deleted key stays dead.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/types.h"

namespace os::detail {

std::string FoldCase(std::string_view text);
bool IsValidUtf8(std::string_view text);

struct RegValue {
    std::string name;
    DWORD type = 0;
    std::vector<BYTE> data;  // REG_SZ: UTF-8 bytes and one zero byte

    bool SameContent(const RegValue& other) const { return type == other.type && data == other.data; }
};

struct RegKey {
    std::string path;
    std::uint64_t serial = 0;
    std::map<std::string, RegValue> values;  // by folded name
};

// Appends a subkey ("\a\b", "a\b"; null or "" for the key itself) to a key
// path; nullopt when a part of the subkey is empty.
std::optional<std::string> AppendSubkey(const std::string& path, const char* subkey);
// A full key path as written in the registry file, with the root spelled as
// RootName gives it; nullopt for an unknown root or an empty part.
std::optional<std::string> NormalizeKeyPath(std::string_view path);

class RegTree {
public:
    RegTree();

    static const char* RootName(HKEY root);  // null when not a root

    const RegKey* Find(const std::string& path) const;
    RegKey* Find(const std::string& path);
    // Creates the key and its missing ancestors, which take the spelling of
    // `path`; existing ones keep theirs. *created tells whether the key
    // itself is new. `path` must start with a root name.
    RegKey& Create(const std::string& path, bool* created);
    // Removes the key and everything below it.
    void Erase(const std::string& path);
    std::vector<const RegKey*> Children(const std::string& path) const;
    bool HasChildren(const std::string& path) const;
    static bool IsRoot(const std::string& path);
    // For a tree read anew in place of `previous`: each key that was there
    // keeps its serial, so that open handles to it stay valid; every other
    // key gets one that `previous` never gave.
    void KeepSerials(const RegTree& previous);
    const std::map<std::string, RegKey>& Keys() const { return keys_; }

private:
    std::map<std::string, RegKey> keys_;  // by folded path
    std::uint64_t nextSerial_ = 1;
};

}  // namespace os::detail
