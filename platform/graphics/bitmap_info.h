// The device-independent bitmap header, shared by the graphics calls
// (CreateDIBSection) and the media framework's video formats.
#pragma once

#include "platform/base/types.h"

namespace os {

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_BITFIELDS = 3;

#pragma pack(push, 1)
struct BITMAPINFOHEADER {
    DWORD biSize = sizeof(BITMAPINFOHEADER);
    LONG biWidth = 0;
    LONG biHeight = 0;  // negative: the rows run top-down
    WORD biPlanes = 1;
    WORD biBitCount = 0;
    DWORD biCompression = 0;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};
#pragma pack(pop)

static_assert(sizeof(BITMAPINFOHEADER) == 40);

}  // namespace os
