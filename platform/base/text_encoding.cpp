// UTF-8, UTF-16 and the ANSI code page through the C library's iconv.
#include "platform/base/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace os {
namespace {

int Fail(LONG error)
{
    SetLastError(static_cast<DWORD>(error));
    return 0;
}

// The whole conversion into little-endian bytes; false with the reason's error.
bool ToUtf16Bytes(const char* src, std::size_t size, std::vector<unsigned char>* out, LONG* error)
{
    iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        *error = ERROR_NOT_SUPPORTED;
        return false;
    }
    // Never more UTF-16 bytes than twice the UTF-8 bytes.
    out->assign(size * 2 + 2, 0);
    char* in = const_cast<char*>(src);
    std::size_t inLeft = size;
    char* outPtr = reinterpret_cast<char*>(out->data());
    std::size_t outLeft = out->size();
    const std::size_t done = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    const int why = errno;
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1)) {
        *error = why == EILSEQ || why == EINVAL ? ERROR_NO_UNICODE_TRANSLATION : ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    out->resize(out->size() - outLeft);
    return true;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcBytes, char16_t* dst, int dstUnits)
{
    (void)flags;
    if (codePage != CP_UTF8 || src == nullptr || srcBytes < -1 || dstUnits < 0 || (dst == nullptr && dstUnits > 0)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const std::size_t size = srcBytes == -1 ? std::strlen(src) + 1 : static_cast<std::size_t>(srcBytes);
    std::vector<unsigned char> bytes;
    LONG error = 0;
    if (!ToUtf16Bytes(src, size, &bytes, &error)) return Fail(error);
    const std::size_t units = bytes.size() / 2;
    if (dstUnits == 0) return static_cast<int>(units);
    if (units > static_cast<std::size_t>(dstUnits)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    for (std::size_t i = 0; i < units; ++i) {
        dst[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return static_cast<int>(units);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* src, int srcUnits, char* dst, int dstBytes,
                        const char* defaultChar, BOOL* usedDefault)
{
    (void)flags;
    if ((codePage != CP_UTF8 && codePage != CP_ACP) || src == nullptr || srcUnits < -1 || dstBytes < 0 ||
        (dst == nullptr && dstBytes > 0)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::size_t units = 0;
    if (srcUnits == -1) {
        while (src[units] != 0) ++units;
        ++units;
    } else {
        units = static_cast<std::size_t>(srcUnits);
    }
    iconv_t cd = iconv_open(codePage == CP_UTF8 ? "UTF-8" : "CP949", "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) return Fail(ERROR_NOT_SUPPORTED);
    std::vector<unsigned char> in(units * 2);
    for (std::size_t i = 0; i < units; ++i) {
        in[2 * i] = static_cast<unsigned char>(src[i] & 0xFF);
        in[2 * i + 1] = static_cast<unsigned char>(src[i] >> 8);
    }
    std::string out;
    char* inPtr = reinterpret_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    const char fallback = defaultChar != nullptr ? *defaultChar : '?';
    bool defaulted = false;
    LONG error = 0;
    while (inLeft > 0) {
        char buffer[256];
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        const int why = errno;
        out.append(buffer, sizeof buffer - outLeft);
        if (done != static_cast<std::size_t>(-1) || why == E2BIG) continue;
        if (why != EILSEQ || inLeft < 2) {
            error = ERROR_NO_UNICODE_TRANSLATION;
            break;
        }
        // A character the code page lacks (a lone surrogate half, too) is the default character.
        const std::size_t skip = inLeft >= 4 && (static_cast<unsigned char>(inPtr[1]) & 0xFC) == 0xD8 ? 4 : 2;
        out += fallback;
        defaulted = true;
        inPtr += skip;
        inLeft -= skip;
    }
    iconv_close(cd);
    if (error != 0) return Fail(error);
    if (usedDefault != nullptr) *usedDefault = defaulted ? TRUE : FALSE;
    if (dstBytes == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<std::size_t>(dstBytes)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(dst, out.data(), out.size());
    return static_cast<int>(out.size());
}

}  // namespace os
