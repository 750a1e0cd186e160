// Text conversion between the platform's UTF-8, the UTF-16 that services
// such as the SMS text protocol take, and the handset's ANSI code page. MultiByteToWideChar converts srcBytes
// bytes of src (-1: up to and including its terminator). With dstUnits 0 it
// only counts the UTF-16 units needed; otherwise it writes them to dst and
// returns their number. 0 on failure, with the last error set:
// ERROR_INVALID_PARAMETER (another code page than CP_UTF8, a null source, a
// null destination with room given), ERROR_NO_UNICODE_TRANSLATION (bytes that
// are not UTF-8), ERROR_INSUFFICIENT_BUFFER (dst too small; nothing usable).
#pragma once

#include "platform/base/types.h"

namespace os {

constexpr UINT CP_ACP = 0;  // the handset's ANSI code page: 949 (Korean, one or two bytes a character)
constexpr UINT CP_UTF8 = 65001;
constexpr LONG ERROR_NO_UNICODE_TRANSLATION = 1113;

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcBytes, char16_t* dst, int dstUnits);

// UTF-16 to the ANSI code page (CP_ACP) or UTF-8, the other way round with
// the same conventions (srcUnits -1: up to and including the terminator;
// dstBytes 0: count only). A character the code page lacks becomes '?' and
// sets *usedDefault when given.
int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* src, int srcUnits, char* dst, int dstBytes,
                        const char* defaultChar, BOOL* usedDefault);

}  // namespace os
