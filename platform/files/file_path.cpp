#include "platform/files/internal/file_path.h"

#include <algorithm>

namespace os::detail::fs {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The phone folds the letters of its common alphabets; the rest compares
// exactly, which keeps the rule small and predictable.
char32_t FoldCase(char32_t c)
{
    if (c >= U'A' && c <= U'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

bool MatchFolded(const std::u32string& pattern, const std::u32string& name)
{
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starAt = std::u32string::npos;
    std::size_t resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == U'*') {
            starAt = p++;
            resumeAt = n;
        } else if (starAt != std::u32string::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') ++p;
    return p == pattern.size();
}

int SequenceLength(unsigned char lead)
{
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 0;
}

}  // namespace

bool DecodeUtf8(std::string_view text, std::u32string* out)
{
    static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    out->clear();
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = SequenceLength(lead);
        if (length == 0 || i + length > text.size()) return false;
        char32_t c = length == 1 ? lead : (lead & (0x7F >> length));
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            c = (c << 6) | (next & 0x3F);
        }
        if (c < kMinimum[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        out->push_back(c);
        i += length;
    }
    return true;
}

std::size_t CountCodePoints(std::string_view text)
{
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string TruncateCodePoints(const std::string& text, std::size_t count)
{
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && seen++ == count) return text.substr(0, i);
    }
    return text;
}

bool IsValidName(std::string_view name, bool wildcards)
{
    if (name.empty()) return false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20) return false;
        if (c == '<' || c == '>' || c == ':' || c == '"' || c == '|') return false;
        if (!wildcards && (c == '*' || c == '?')) return false;
    }
    return true;
}

DWORD ParseDevicePath(const char* path, LastPart last, std::vector<std::string>* parts)
{
    parts->clear();
    if (path == nullptr) return ERROR_INVALID_PARAMETER;
    const std::string_view text(path);
    if (text.empty()) return ERROR_PATH_NOT_FOUND;
    std::u32string decoded;
    if (!DecodeUtf8(text, &decoded)) return ERROR_INVALID_NAME;
    if (decoded.size() > static_cast<std::size_t>(MAX_PATH)) return ERROR_FILENAME_EXCED_RANGE;

    std::vector<std::string_view> raw;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || IsSeparator(text[i])) {
            if (i > start) raw.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const std::string_view part = raw[i];
        if (part == ".") continue;
        if (part == "..") {
            if (!parts->empty()) parts->pop_back();
            continue;
        }
        const bool isLast = i + 1 == raw.size();
        if (isLast && last == LastPart::Any) {
            parts->emplace_back(part);
            continue;
        }
        if (!IsValidName(part, isLast && last == LastPart::Pattern)) return ERROR_INVALID_NAME;
        parts->emplace_back(part);
    }
    return ERROR_SUCCESS;
}

std::string JoinDevicePath(const std::vector<std::string>& parts)
{
    if (parts.empty()) return "\\";
    std::string out;
    for (const std::string& part : parts) {
        out += '\\';
        out += part;
    }
    return out;
}

// Host names that are not UTF-8 never reach here from the device side, but
// a byte-per-character reading keeps the comparison total.
std::u32string Folded(std::string_view text)
{
    std::u32string out;
    if (!DecodeUtf8(text, &out)) {
        out.assign(text.begin(), text.end());
    }
    for (char32_t& c : out) c = FoldCase(c);
    return out;
}

bool NamesEqual(std::string_view a, std::string_view b)
{
    return a == b || Folded(a) == Folded(b);
}

bool PrefixEquals(const std::vector<std::string>& prefix, const std::vector<std::string>& parts)
{
    if (prefix.size() > parts.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (!NamesEqual(prefix[i], parts[i])) return false;
    }
    return true;
}

bool NameLess(std::string_view a, std::string_view b)
{
    const std::u32string fa = Folded(a);
    const std::u32string fb = Folded(b);
    return fa != fb ? fa < fb : a < b;
}

bool HasWildcards(std::string_view name)
{
    return name.find_first_of("*?") != std::string_view::npos;
}

bool MatchesPattern(std::string_view pattern, std::string_view name)
{
    const std::u32string folded = Folded(name);
    if (MatchFolded(Folded(pattern), folded)) return true;
    // "name.*" also takes "name", and so "*.*" takes every name.
    return pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
           MatchFolded(Folded(pattern.substr(0, pattern.size() - 2)), folded);
}

}  // namespace os::detail::fs
