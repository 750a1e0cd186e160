// UTF-8 to UTF-16 through the C library's iconv.
#include "platform/base/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
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

}  // namespace os
