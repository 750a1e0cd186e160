// Reading the registry file. The parse is event-driven so that each fault,
// a syntax error or a value of the wrong shape, can be reported with the line
// it is on: the parser reads the text through an iterator that remembers how
// far it got.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "platform/registry/registry.h"
#include "platform/registry/internal/registry_file.h"

namespace os::detail {

namespace {

using json = nlohmann::json;

class TrackingIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    TrackingIterator(const char* at, const char** furthest) : at_(at), furthest_(furthest) {}
    reference operator*() const { return *at_; }
    TrackingIterator& operator++()
    {
        ++at_;
        *furthest_ = at_;
        return *this;
    }
    TrackingIterator operator++(int)
    {
        TrackingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const TrackingIterator& other) const { return at_ == other.at_; }
    bool operator!=(const TrackingIterator& other) const { return at_ != other.at_; }

private:
    const char* at_;
    const char** furthest_;
};

// 1-based line of the character before byte offset `consumed` (the last
// character the parser read is a look-ahead after numbers, so it is skipped).
std::size_t LineAt(const std::string& text, std::size_t consumed)
{
    const std::size_t end = std::min(consumed > 0 ? consumed - 1 : 0, text.size());
    return 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
}

bool HexToBytes(const std::string& hex, std::vector<BYTE>* out)
{
    if (hex.size() % 2 != 0) {
        return false;
    }
    out->clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        unsigned value = 0;
        for (std::size_t k = i; k < i + 2; ++k) {
            const char c = hex[k];
            unsigned digit = 0;
            if (c >= '0' && c <= '9') {
                digit = static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                digit = static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                digit = static_cast<unsigned>(c - 'A' + 10);
            } else {
                return false;
            }
            value = value * 16 + digit;
        }
        out->push_back(static_cast<BYTE>(value));
    }
    return true;
}

// Depth 1 is the file's object of keys, depth 2 a key's object of values,
// depth 3 one typed value such as {"dword": 1}.
class RegistrySax {
public:
    RegistrySax(const std::string& text, const char* const* furthest, RegTree* tree)
        : text_(text), furthest_(furthest), tree_(tree)
    {
    }

    const std::string& Error() const { return error_; }

    bool null() { return Scalar("null"); }
    bool boolean(bool) { return Scalar("true or false"); }
    bool number_integer(json::number_integer_t) { return depth_ == 3 && IsType("dword") ? BadDword() : Scalar("a number"); }
    bool number_unsigned(json::number_unsigned_t value)
    {
        if (depth_ != 3 || !IsType("dword")) {
            return Scalar("a number");
        }
        if (value > 0xFFFFFFFFu) {
            return BadDword();
        }
        const auto dword = static_cast<DWORD>(value);
        value_.type = REG_DWORD;
        value_.data.assign(reinterpret_cast<const BYTE*>(&dword), reinterpret_cast<const BYTE*>(&dword) + 4);
        return true;
    }
    bool number_float(json::number_float_t, const std::string&)
    {
        return depth_ == 3 && IsType("dword") ? BadDword() : Scalar("a number");
    }
    bool string(std::string& text)
    {
        if (depth_ != 3) {
            return Scalar("a string");
        }
        if (IsType("dword")) {
            return BadDword();
        }
        if (IsType("sz")) {
            if (text.find('\0') != std::string::npos) {
                return Fail("value \"" + value_.name + "\": text must not contain a zero character");
            }
            value_.type = REG_SZ;
            value_.data.assign(text.begin(), text.end());
            value_.data.push_back(0);
            return true;
        }
        value_.type = IsType("binary") ? REG_BINARY : REG_NONE;
        if (!HexToBytes(text, &value_.data)) {
            return Fail("value \"" + value_.name + "\": data must be a string of hex digit pairs such as \"00ff\"");
        }
        return true;
    }
    bool binary(json::binary_t&) { return Scalar("binary data"); }
    bool start_array(std::size_t) { return Scalar("an array"); }
    bool end_array() { return true; }

    bool start_object(std::size_t)
    {
        if (depth_ == 3) {
            return Scalar("an object");
        }
        ++depth_;
        if (depth_ == 3) {
            typeName_.clear();
        }
        return true;
    }

    bool end_object()
    {
        if (depth_ == 3) {
            if (typeName_.empty()) {
                return Fail("value \"" + value_.name + "\" has no type; write it as " + kShapes);
            }
            key_->values[FoldCase(value_.name)] = value_;
        }
        --depth_;
        return true;
    }

    bool key(std::string& name)
    {
        switch (depth_) {
        case 1: return KeyPath(name);
        case 2: return ValueName(name);
        default: return TypeName(name);
        }
    }

    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& ex)
    {
        // The library's text repeats the position; keep what follows it.
        const std::string what = ex.what();
        const std::size_t detail = what.find(": ");
        errorLine_ = LineAt(text_, position);
        error_ = detail == std::string::npos ? what : what.substr(detail + 2);
        return false;
    }

    std::size_t ErrorLine() const { return errorLine_; }

private:
    static constexpr const char* kShapes = "{\"dword\": 1}, {\"sz\": \"text\"}, {\"binary\": \"00ff\"} or {\"none\": \"\"}";

    bool IsType(const char* name) const { return typeName_ == name; }

    bool Fail(const std::string& message)
    {
        errorLine_ = LineAt(text_, static_cast<std::size_t>(*furthest_ - text_.data()));
        error_ = message;
        return false;
    }

    bool BadDword() { return Fail("value \"" + value_.name + "\": a dword must be a whole number from 0 to 4294967295"); }

    // A scalar or array where an object belongs, or an unexpected kind of data.
    bool Scalar(const std::string& what)
    {
        switch (depth_) {
        case 0: return Fail("found " + what + " where the file's object of registry keys belongs");
        case 1: return Fail("key \"" + key_->path + "\" must be an object of values, found " + what);
        case 2: return Fail("value \"" + value_.name + "\" must be written as " + std::string(kShapes) + ", found " + what);
        default: return Fail("value \"" + value_.name + "\": type \"" + typeName_ + "\" cannot hold " + what);
        }
    }

    bool KeyPath(const std::string& path)
    {
        const std::optional<std::string> normalized = NormalizeKeyPath(path);
        if (!normalized) {
            return Fail("\"" + path +
                        "\" is not a key path below HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or HKEY_CLASSES_ROOT");
        }
        if (!listed_.insert(FoldCase(*normalized)).second) {
            return Fail("key \"" + path + "\" is listed twice");
        }
        bool created = false;
        key_ = &tree_->Create(*normalized, &created);
        return true;
    }

    bool ValueName(const std::string& name)
    {
        if (key_->values.count(FoldCase(name)) != 0) {
            return Fail("value \"" + name + "\" appears twice in key \"" + key_->path + "\"");
        }
        value_ = RegValue{};
        value_.name = name;
        return true;
    }

    bool TypeName(const std::string& name)
    {
        if (!typeName_.empty()) {
            return Fail("value \"" + value_.name + "\" has more than one type");
        }
        if (name != "dword" && name != "sz" && name != "binary" && name != "none") {
            return Fail("value \"" + value_.name + "\" has unknown type \"" + name + "\"; write it as " + kShapes);
        }
        typeName_ = name;
        return true;
    }

    const std::string& text_;
    const char* const* furthest_;
    RegTree* tree_;
    int depth_ = 0;
    RegKey* key_ = nullptr;
    RegValue value_;
    std::string typeName_;
    std::set<std::string> listed_;
    std::string error_;
    std::size_t errorLine_ = 0;
};

}  // namespace

RegFileLoad LoadRegistryFile(const std::string& file, RegTree* tree, std::string* error)
{
    *tree = RegTree();
    std::error_code ec;
    if (!std::filesystem::exists(file, ec) && !ec) {
        return RegFileLoad::Missing;
    }
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    if (!in || !(content << in.rdbuf())) {
        *error = file + ": cannot be read";
        return RegFileLoad::Unreadable;
    }
    return ParseRegistryText(content.str(), file, tree, error);
}

RegFileLoad ParseRegistryText(const std::string& text, const std::string& file, RegTree* tree, std::string* error)
{
    *tree = RegTree();
    const char* furthest = text.data();
    RegTree parsed;
    RegistrySax sax(text, &furthest, &parsed);
    bool ok = false;
    try {
        ok = json::sax_parse(TrackingIterator(text.data(), &furthest),
                             TrackingIterator(text.data() + text.size(), &furthest), &sax);
    } catch (const json::exception& ex) {
        *error = file + ": " + ex.what();
        return RegFileLoad::Malformed;
    }
    if (!ok) {
        *error = file + ", line " + std::to_string(sax.ErrorLine()) + ": " + sax.Error();
        return RegFileLoad::Malformed;
    }
    *tree = std::move(parsed);
    return RegFileLoad::Loaded;
}

}  // namespace os::detail
