#include "sim/json_reader.h"

#include <algorithm>
#include <unordered_set>
#include <sstream>

namespace sim::json {
namespace {

// Follows a second, event-only pass over a document that parsed to find a
// key given twice in one object; the parser itself silently keeps the last
// one. (The parser's own callback interface would do it in the same pass,
// but it searches every finished object's parent, which is quadratic in the
// length of a list of objects.)
class DuplicateKeyFinder : public nlohmann::json_sax<Value> {
public:
    bool null() override { return EnterValue(); }
    bool boolean(bool) override { return EnterValue(); }
    bool number_integer(number_integer_t) override { return EnterValue(); }
    bool number_unsigned(number_unsigned_t) override { return EnterValue(); }
    bool number_float(number_float_t, const string_t&) override { return EnterValue(); }
    bool string(string_t&) override { return EnterValue(); }
    bool binary(binary_t&) override { return EnterValue(); }
    bool start_object(std::size_t) override
    {
        EnterValue();
        frames_.push_back(Frame{false, -1, {}, {}});
        return true;
    }
    bool start_array(std::size_t) override
    {
        EnterValue();
        frames_.push_back(Frame{true, -1, {}, {}});
        return true;
    }
    bool end_object() override { return EndFrame(); }
    bool end_array() override { return EndFrame(); }
    // The first repeated key ends the pass.
    bool key(string_t& key) override
    {
        OnKey(key);
        return duplicate_.empty();
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::json::exception&) override { return false; }

    // Path of the first repeated key; empty when there was none.
    const std::string& duplicate() const { return duplicate_; }

private:
    struct Frame {
        bool array;
        long long index;
        std::string key;
        std::unordered_set<std::string> keys;
    };

    bool EnterValue()
    {
        if (!frames_.empty() && frames_.back().array) {
            ++frames_.back().index;
        }
        return true;
    }

    bool EndFrame()
    {
        frames_.pop_back();
        return true;
    }

    void OnKey(const std::string& key)
    {
        Frame& frame = frames_.back();
        if (!frame.keys.insert(key).second && duplicate_.empty()) {
            duplicate_ = Member(OuterPath(), key);
        }
        frame.key = key;
    }

    // Path of the innermost open object or array.
    std::string OuterPath() const
    {
        std::string path;
        for (std::size_t i = 0; i + 1 < frames_.size(); ++i) {
            const Frame& f = frames_[i];
            path = f.array ? Element(path, static_cast<std::size_t>(f.index)) : Member(path, f.key);
        }
        return path;
    }

    std::vector<Frame> frames_;
    std::string duplicate_;
};

// The parser's message without its "[json.exception...] parse error at ...:" prefix.
std::string Describe(const nlohmann::json::exception& e)
{
    std::string what = e.what();
    std::size_t bracket = what.find("] ");
    if (what.rfind("[json.exception.", 0) == 0 && bracket != std::string::npos) {
        what.erase(0, bracket + 2);
    }
    if (what.rfind("parse error", 0) == 0) {
        std::size_t colon = what.find(": ");
        if (colon != std::string::npos) {
            what.erase(0, colon + 2);
        }
    }
    return what;
}

// The parser reports the 1-based byte index of the last character it read.
std::string Place(const std::string& text, std::size_t byte)
{
    std::size_t end = std::min(byte == 0 ? 0 : byte - 1, text.size());
    std::size_t line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    std::size_t column = 1 + CountChars(text.substr(lineStart, end - lineStart));
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::string KeyList(const std::vector<Field>& fields)
{
    std::string list;
    for (const Field& f : fields) {
        list += (list.empty() ? "" : ", ") + f.key;
    }
    return list;
}

const Field* FindField(const std::vector<Field>& fields, const std::string& key)
{
    for (const Field& f : fields) {
        if (f.key == key) {
            return &f;
        }
    }
    return nullptr;
}

}  // namespace

bool ParseDocument(const std::string& text, Value* out, std::string* error)
{
    DuplicateKeyFinder finder;
    try {
        Value document = Value::parse(text);
        Value::sax_parse(text, &finder);
        if (!finder.duplicate().empty()) {
            return Fail(finder.duplicate(), "key given twice", error);
        }
        *out = std::move(document);
        return true;
    } catch (const nlohmann::json::parse_error& e) {
        *error = Place(text, e.byte) + ": " + Describe(e);
    } catch (const nlohmann::json::exception& e) {
        *error = Describe(e);
    }
    return false;
}

std::string Member(const std::string& path, const std::string& key)
{
    return path.empty() ? key : path + "." + key;
}

std::string Element(const std::string& path, std::size_t index)
{
    return path + "[" + std::to_string(index) + "]";
}

bool Fail(const std::string& path, const std::string& what, std::string* error)
{
    *error = (path.empty() ? std::string("top level") : path) + ": " + what;
    return false;
}

bool ReadObject(const Value& value, const std::string& path, const std::vector<Field>& fields,
                std::string* error)
{
    if (!value.is_object()) {
        return Fail(path, "expected an object", error);
    }
    for (const auto& [key, member] : value.items()) {
        const Field* field = FindField(fields, key);
        if (field == nullptr) {
            return Fail(Member(path, key), "unknown key (expected one of: " + KeyList(fields) + ")", error);
        }
        if (!field->read(member, Member(path, key), error)) {
            return false;
        }
    }
    for (const Field& f : fields) {
        if (f.required && !value.contains(f.key)) {
            return Fail(path, "missing key \"" + f.key + "\"", error);
        }
    }
    return true;
}

bool ReadArray(const Value& value, const std::string& path, const FieldReader& read, std::string* error)
{
    if (!value.is_array()) {
        return Fail(path, "expected a list", error);
    }
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (!read(value[i], Element(path, i), error)) {
            return false;
        }
    }
    return true;
}

bool ReadInteger(const Value& value, const std::string& path, std::int64_t min, std::int64_t max,
                 std::int64_t* out, std::string* error)
{
    std::string range = "from " + std::to_string(min) + " to " + std::to_string(max);
    if (!value.is_number_integer()) {
        return Fail(path, "expected an integer " + range, error);
    }
    bool tooBig = value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(max);
    std::int64_t v = tooBig ? max : value.get<std::int64_t>();
    if (tooBig || v < min || v > max) {
        return Fail(path, "out of range: must be " + range, error);
    }
    *out = v;
    return true;
}

bool ReadNumber(const Value& value, const std::string& path, double min, double max, double* out,
                std::string* error)
{
    std::ostringstream range;
    range << "from " << min << " to " << max;
    if (!value.is_number()) {
        return Fail(path, "expected a number " + range.str(), error);
    }
    const double v = value.get<double>();
    if (!(v >= min && v <= max)) {
        return Fail(path, "out of range: must be " + range.str(), error);
    }
    *out = v;
    return true;
}

bool ReadBool(const Value& value, const std::string& path, bool* out, std::string* error)
{
    if (!value.is_boolean()) {
        return Fail(path, "expected true or false", error);
    }
    *out = value.get<bool>();
    return true;
}

bool ReadText(const Value& value, const std::string& path, std::size_t maxChars, std::string* out,
              std::string* error)
{
    if (!value.is_string()) {
        return Fail(path, "expected a text", error);
    }
    const std::string& text = value.get_ref<const std::string&>();
    if (text.empty()) {
        return Fail(path, "must not be empty", error);
    }
    if (CountChars(text) > maxChars) {
        return Fail(path, "longer than " + std::to_string(maxChars) + " characters", error);
    }
    *out = text;
    return true;
}

bool ReadDescription(const Value& value, const std::string& path, std::string* error)
{
    constexpr std::size_t kMaxDescriptionChars = 4096;
    std::string ignored;
    return ReadText(value, path, kMaxDescriptionChars, &ignored, error);
}

std::size_t CountChars(const std::string& text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

bool ReadSize(const Value& value, const std::string& path, std::uint64_t* out, std::string* error)
{
    const std::string what = "expected a size in bytes such as 2147483648, \"512MB\" or \"2GB\"";
    if (value.is_number_integer()) {
        std::int64_t bytes = 0;
        if (!json::ReadInteger(value, path, 0, INT64_MAX, &bytes, error)) {
            return false;
        }
        *out = static_cast<std::uint64_t>(bytes);
        return true;
    }
    if (!value.is_string()) {
        return json::Fail(path, what, error);
    }
    std::string text = value.get<std::string>();
    struct Unit {
        const char* suffix;
        std::uint64_t factor;
    };
    static constexpr Unit kUnits[] = {{"KB", 1024}, {"MB", 1024ull * 1024}, {"GB", 1024ull * 1024 * 1024}};
    std::uint64_t unit = 1;
    for (const Unit& u : kUnits) {
        if (text.size() > 2 && text.ends_with(u.suffix)) {
            text.resize(text.size() - 2);
            unit = u.factor;
            break;
        }
    }
    bool digits = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits) {
        return json::Fail(path, what, error);
    }
    std::uint64_t count = text.size() <= 18 ? std::stoull(text) : UINT64_MAX;
    if (count > static_cast<std::uint64_t>(INT64_MAX) / unit) {
        // Appended rather than concatenated: GCC 12 at -O3 misreads "..." + string as overlapping copies.
        std::string tooLarge(1, '"');
        tooLarge.append(value.get<std::string>()).append("\" is too large");
        return json::Fail(path, tooLarge, error);
    }
    *out = count * unit;
    return true;
}

}  // namespace sim::json
