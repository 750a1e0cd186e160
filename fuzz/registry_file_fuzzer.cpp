// The registry file's text. A text that loads is saved and loaded again to
// the same keys and values, and saving that is word for word the same text;
// read line by line, the saved text gives the same registry and leaves no
// line out. A text that does not load says which file (and line), and what
// could still be read of it is a registry that saves and loads unchanged.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/check.h"
#include "platform/registry/internal/registry_file.h"

namespace {

using os::detail::RegFileLoad;
using os::detail::RegKey;
using os::detail::RegTree;

constexpr char kFile[] = "registry.json";

bool SameValues(const RegKey& a, const RegKey& b)
{
    if (a.values.size() != b.values.size()) {
        return false;
    }
    auto other = b.values.begin();
    for (const auto& [folded, value] : a.values) {
        if (folded != other->first || value.name != other->second.name || !value.SameContent(other->second)) {
            return false;
        }
        ++other;
    }
    return true;
}

// Keys by path as spelled, and their values; serial numbers are not content.
bool SameTree(const RegTree& a, const RegTree& b)
{
    if (a.Keys().size() != b.Keys().size()) {
        return false;
    }
    auto other = b.Keys().begin();
    for (const auto& [folded, key] : a.Keys()) {
        if (folded != other->first || key.path != other->second.path || !SameValues(key, other->second)) {
            return false;
        }
        ++other;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    RegTree tree;
    bool created = false;
    tree.Create("HKEY_CURRENT_USER\\Left over", &created);
    std::string error;
    if (os::detail::ParseRegistryText(text, kFile, &tree, &error) != RegFileLoad::Loaded) {
        FUZZ_CHECK(error.starts_with(std::string(kFile) + ", line ") || error.starts_with(std::string(kFile) + ": "));
        FUZZ_CHECK(error.size() > sizeof kFile + 2);
        FUZZ_CHECK(tree.Find("HKEY_CURRENT_USER\\Left over") == nullptr);
        const std::string salvaged = os::detail::FormatRegistry(tree);
        RegTree reread;
        std::string rereadError;
        FUZZ_CHECK(os::detail::ParseRegistryText(salvaged, kFile, &reread, &rereadError) == RegFileLoad::Loaded);
        FUZZ_CHECK(SameTree(reread, tree));
        return 0;
    }
    FUZZ_CHECK(error.empty());
    const std::string saved = os::detail::FormatRegistry(tree);
    RegTree reloaded;
    std::string reloadError;
    FUZZ_CHECK(os::detail::ParseRegistryText(saved, kFile, &reloaded, &reloadError) == RegFileLoad::Loaded);
    FUZZ_CHECK(SameTree(reloaded, tree));
    FUZZ_CHECK(os::detail::FormatRegistry(reloaded) == saved);
    RegTree lineByLine;
    FUZZ_CHECK(os::detail::SalvageRegistryText(saved, &lineByLine).empty());
    FUZZ_CHECK(SameTree(lineByLine, tree));
    return 0;
}
