// A text field of fixed capacity inside a plain record: UTF-8, at most N - 1
// characters (code points), N counting the terminator as a field of N wide
// characters would. It lives in the record itself, so a record of such fields
// can be zero-filled and copied as a whole; all zeros is the empty text.
//
// Assign keeps the first characters that fit and never writes past the field;
// text that is not UTF-8 is refused and leaves the field as it was.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

template <std::size_t N>
struct FixedText {
    static_assert(N > 1, "room for one character and the terminator");
    static constexpr std::size_t kMaxChars = N - 1;

    // Returns false, changing nothing, when `text` is not UTF-8. A zero
    // character ends the text.
    bool Assign(std::string_view text)
    {
        text = text.substr(0, text.find('\0'));
        std::size_t used = 0;
        std::size_t chars = 0;
        std::size_t keep = 0;
        while (used < text.size()) {
            const std::size_t length = SequenceLength(text.substr(used));
            if (length == 0) {
                return false;
            }
            used += length;
            if (++chars <= kMaxChars) {
                keep = used;
            }
        }
        std::memset(bytes_, 0, sizeof bytes_);
        std::memcpy(bytes_, text.data(), keep);
        return true;
    }

    std::string_view View() const { return std::string_view(bytes_); }
    const char* c_str() const { return bytes_; }
    bool Empty() const { return bytes_[0] == '\0'; }

    friend bool operator==(const FixedText& a, const FixedText& b) { return a.View() == b.View(); }
    friend bool operator==(const FixedText& a, std::string_view b) { return a.View() == b; }

private:
    // Length of the well-formed UTF-8 sequence that starts `text`, 0 if none.
    static std::size_t SequenceLength(std::string_view text)
    {
        const auto lead = static_cast<unsigned char>(text[0]);
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            return 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return 0;
        }
        if (text.size() < length) {
            return 0;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[k]);
            if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) {
                return 0;
            }
        }
        return length;
    }

    // Up to four bytes per character, and the terminator.
    char bytes_[kMaxChars * 4 + 1] = {};
};
