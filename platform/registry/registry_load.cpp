// Reading the registry file. The parse is event-driven so that each fault,
// a syntax error or a value of the wrong shape, can be reported with the line
// it is on: the parser reads the text through an iterator that remembers how
// far it got. A file with a fault is read again line by line, as the file
// is written one value per line, so that one slip costs only its own line.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <set>
#include <string_view>
#include <vector>

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
    // The path of the last key listed, as the tree spells it.
    const std::string& LastKey() const { return lastKey_; }

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
        lastKey_ = key_->path;
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
    std::string lastKey_;
};

// A whole text by the file's rules; false with the fault and its line.
bool ParseWhole(const std::string& text, RegTree* tree, std::string* error, std::size_t* line,
                std::string* lastKey = nullptr)
{
    const char* furthest = text.data();
    RegistrySax sax(text, &furthest, tree);
    bool ok = false;
    try {
        ok = json::sax_parse(TrackingIterator(text.data(), &furthest),
                             TrackingIterator(text.data() + text.size(), &furthest), &sax);
    } catch (const json::exception& ex) {
        *error = ex.what();
        *line = 0;
        return false;
    }
    if (!ok) {
        *error = sax.Error();
        *line = sax.ErrorLine();
        return false;
    }
    if (lastKey != nullptr) {
        *lastKey = sax.LastKey();
    }
    return true;
}

std::string_view Trimmed(std::string_view text)
{
    const std::size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos) {
        return {};
    }
    const std::size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

enum class Merge { Unreadable, Merged, Duplicate };

// Parses `document` by the file's rules and adds what it lists to *tree;
// a value the tree already holds keeps its first reading.
Merge MergeDocument(const std::string& document, RegTree* tree, std::string* lastKey = nullptr)
{
    RegTree part;
    std::string error;
    std::size_t line = 0;
    if (!ParseWhole(document, &part, &error, &line, lastKey)) {
        return Merge::Unreadable;
    }
    Merge result = Merge::Merged;
    for (const auto& [folded, key] : part.Keys()) {
        bool created = false;
        RegKey& into = tree->Create(key.path, &created);
        for (const auto& [name, value] : key.values) {
            if (!into.values.emplace(name, value).second) {
                result = Merge::Duplicate;
            }
        }
    }
    return result;
}

std::string JsonKeyName(const std::string& text) { return json(text).dump(); }

std::string LinesText(const std::vector<std::size_t>& lines)
{
    constexpr std::size_t kNamed = 10;
    std::string out = lines.size() == 1 ? "line " : "lines ";
    for (std::size_t i = 0; i < lines.size() && i < kNamed; ++i) {
        out += (i == 0 ? "" : ", ") + std::to_string(lines[i]);
    }
    if (lines.size() > kNamed) {
        out += " and " + std::to_string(lines.size() - kNamed) + " more";
    }
    return out;
}

}  // namespace

std::vector<std::size_t> SalvageRegistryText(const std::string& text, RegTree* tree)
{
    *tree = RegTree();
    // Outside a key, inside one that was read, or inside one whose own line
    // was not: that key's values cannot be placed and are left out with it.
    enum class Where { Outside, InKey, InLostKey };
    Where where = Where::Outside;
    std::string keyPath;
    std::vector<std::size_t> leftOut;
    std::size_t number = 0;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        ++number;
        std::string_view line = Trimmed(std::string_view(text).substr(begin, end - begin));
        begin = end + 1;
        while (!line.empty() && line.back() == ',') {
            line = Trimmed(line.substr(0, line.size() - 1));
        }
        if (line.empty() || (line == "{" && where == Where::Outside)) {
            continue;
        }
        if (line == "}") {
            where = Where::Outside;
            continue;
        }
        const std::string body(line);
        Merge merged = Merge::Unreadable;
        if (where == Where::InKey) {
            merged = MergeDocument("{" + JsonKeyName(keyPath) + ": {" + body + "}}", tree);
        }
        if (merged == Merge::Unreadable) {
            merged = MergeDocument("{" + body + "}", tree);
            if (merged != Merge::Unreadable) {
                where = Where::Outside;
            }
        }
        if (merged == Merge::Unreadable && body.back() == '{') {
            merged = MergeDocument("{" + body + "}}", tree, &keyPath);
            where = merged == Merge::Unreadable ? Where::InLostKey : Where::InKey;
        }
        if (merged != Merge::Merged) {
            leftOut.push_back(number);
        }
    }
    return leftOut;
}

RegFileLoad LoadRegistryFile(const std::string& file, RegTree* tree, std::string* error, int* heldFd)
{
    *tree = RegTree();
    if (heldFd != nullptr) {
        *heldFd = -1;
    }
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            return RegFileLoad::Missing;
        }
        *error = file + ": cannot be read: " + std::strerror(errno);
        return RegFileLoad::Unreadable;
    }
    std::string text;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            *error = file + ": cannot be read: " + std::strerror(errno);
            ::close(fd);
            return RegFileLoad::Unreadable;
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    if (heldFd != nullptr) {
        *heldFd = fd;
    } else {
        ::close(fd);
    }
    return ParseRegistryText(text, file, tree, error);
}

RegFileLoad ParseRegistryText(const std::string& text, const std::string& file, RegTree* tree, std::string* error)
{
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
        *tree = RegTree();
        *error = file + ": the file is empty";
        return RegFileLoad::Malformed;
    }
    RegTree parsed;
    std::string fault;
    std::size_t line = 0;
    if (ParseWhole(text, &parsed, &fault, &line)) {
        *tree = std::move(parsed);
        return RegFileLoad::Loaded;
    }
    const std::vector<std::size_t> leftOut = SalvageRegistryText(text, tree);
    *error = file + (line > 0 ? ", line " + std::to_string(line) : std::string()) + ": " + fault + "; " +
             (leftOut.empty() ? std::string("every value in it could still be read")
                              : LinesText(leftOut) + " could not be read and " +
                                    (leftOut.size() == 1 ? "is" : "are") + " left out");
    return RegFileLoad::Malformed;
}

}  // namespace os::detail
