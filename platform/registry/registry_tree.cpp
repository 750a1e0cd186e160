#include "platform/registry/internal/registry_tree.h"

#include <algorithm>

#include "platform/registry/registry.h"

namespace os::detail {

namespace {

struct RootEntry {
    HKEY handle;
    const char* name;
};

const RootEntry kRoots[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
};

bool IsContinuationByte(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the UTF-8 sequence starting with `lead`, 0 when it cannot start one.
std::size_t SequenceLength(unsigned char lead)
{
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

// Rejects overlong forms, surrogates and code points above U+10FFFF.
bool ValidSecondByte(unsigned char lead, unsigned char second)
{
    switch (lead) {
    case 0xE0: return second >= 0xA0;
    case 0xED: return second < 0xA0;
    case 0xF0: return second >= 0x90;
    case 0xF4: return second < 0x90;
    default: return true;
    }
}

}  // namespace

std::string FoldCase(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

bool IsValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = SequenceLength(lead);
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if (!IsContinuationByte(static_cast<unsigned char>(text[i + k]))) {
                return false;
            }
        }
        if (length > 1 && !ValidSecondByte(lead, static_cast<unsigned char>(text[i + 1]))) {
            return false;
        }
        i += length;
    }
    return true;
}

std::optional<std::string> AppendSubkey(const std::string& path, const char* subkey)
{
    std::string_view rest = subkey ? subkey : "";
    if (!rest.empty() && rest.front() == '\\') {
        rest.remove_prefix(1);
    }
    std::string result = path;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\\');
        const std::string_view part = rest.substr(0, end);
        if (part.empty()) {
            return std::nullopt;
        }
        result += '\\';
        result += part;
        if (end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(end + 1);
        if (rest.empty()) {
            return std::nullopt;
        }
    }
    return result;
}

std::optional<std::string> NormalizeKeyPath(std::string_view path)
{
    const std::size_t end = path.find('\\');
    const std::string folded = FoldCase(path.substr(0, end));
    for (const RootEntry& root : kRoots) {
        if (folded == FoldCase(root.name)) {
            if (end == std::string_view::npos) {
                return std::string(root.name);
            }
            const std::string rest(path.substr(end + 1));
            if (rest.empty()) {
                return std::nullopt;
            }
            return AppendSubkey(root.name, rest.c_str());
        }
    }
    return std::nullopt;
}

RegTree::RegTree()
{
    for (const RootEntry& root : kRoots) {
        RegKey key;
        key.path = root.name;
        key.serial = nextSerial_++;
        keys_.emplace(FoldCase(root.name), std::move(key));
    }
}

const char* RegTree::RootName(HKEY root)
{
    for (const RootEntry& entry : kRoots) {
        if (entry.handle == root) {
            return entry.name;
        }
    }
    return nullptr;
}

const RegKey* RegTree::Find(const std::string& path) const
{
    const auto it = keys_.find(FoldCase(path));
    return it == keys_.end() ? nullptr : &it->second;
}

RegKey* RegTree::Find(const std::string& path)
{
    const auto it = keys_.find(FoldCase(path));
    return it == keys_.end() ? nullptr : &it->second;
}

RegKey& RegTree::Create(const std::string& path, bool* created)
{
    *created = false;
    std::size_t end = path.find('\\');
    RegKey* current = Find(path.substr(0, end));
    while (end != std::string::npos) {
        const std::size_t next = path.find('\\', end + 1);
        const std::string part = path.substr(end + 1, next == std::string::npos ? next : next - end - 1);
        const std::string childPath = current->path + '\\' + part;
        const std::string folded = FoldCase(childPath);
        auto it = keys_.find(folded);
        *created = it == keys_.end();
        if (*created) {
            RegKey key;
            key.path = childPath;
            key.serial = nextSerial_++;
            it = keys_.emplace(folded, std::move(key)).first;
        }
        current = &it->second;
        end = next;
    }
    return *current;
}

void RegTree::Erase(const std::string& path)
{
    const std::string folded = FoldCase(path);
    keys_.erase(folded);
    const std::string prefix = folded + '\\';
    auto it = keys_.lower_bound(prefix);
    while (it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0) {
        it = keys_.erase(it);
    }
}

std::vector<const RegKey*> RegTree::Children(const std::string& path) const
{
    const std::string prefix = FoldCase(path) + '\\';
    std::vector<const RegKey*> children;
    for (auto it = keys_.lower_bound(prefix); it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
         ++it) {
        if (it->first.find('\\', prefix.size()) == std::string::npos) {
            children.push_back(&it->second);
        }
    }
    return children;
}

bool RegTree::HasChildren(const std::string& path) const
{
    const std::string prefix = FoldCase(path) + '\\';
    const auto it = keys_.lower_bound(prefix);
    return it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

void RegTree::KeepSerials(const RegTree& previous)
{
    nextSerial_ = std::max(nextSerial_, previous.nextSerial_);
    for (auto& [folded, key] : keys_) {
        const auto it = previous.keys_.find(folded);
        key.serial = it != previous.keys_.end() ? it->second.serial : nextSerial_++;
    }
}

bool RegTree::IsRoot(const std::string& path)
{
    return path.find('\\') == std::string::npos;
}

}  // namespace os::detail
