// Image files: the shell's image loader and the imaging factory.
//
// Paths are device paths, read through the file calls (file.h). PNG (with
// or without alpha), JPEG and GIF files (first frame) are read; a missing
// or unreadable file gives a null bitmap or a failed HRESULT, never a
// partial image. Pixels of the imaging objects are straight 0xAARRGGBB.
//
// The imaging factory (CoCreateInstance(CLSID_ImagingFactory, ...,
// IID_IImagingFactory)) makes IImage objects from files, and IBitmapImage
// objects from an IImage, scaled to the size asked for (nearest
// neighbour). An IBitmapImage's pixels are reached with LockBits, one lock
// at a time: for reading in PixelFormat32bppARGB, 32bppPARGB (premultiplied)
// or 16bppRGB565, or for writing in 32bppARGB (written back by UnlockBits).
#pragma once

#include "platform/graphics/graphics.h"
#include "platform/media/com_types.h"
#include "platform/media/media_interfaces.h"

namespace os {

// A 16-bit 5-6-5 bitmap of the image, alpha dropped; null on failure
// (ERROR_FILE_NOT_FOUND or ERROR_INVALID_DATA).
HBITMAP SHLoadImageFile(const char* path);

using PixelFormat = LONG;
constexpr PixelFormat PixelFormat16bppRGB565 = 0x00021005;
constexpr PixelFormat PixelFormat32bppRGB = 0x00022009;
constexpr PixelFormat PixelFormat32bppARGB = 0x0026200A;
constexpr PixelFormat PixelFormat32bppPARGB = 0x000E200B;

constexpr UINT ImageLockModeRead = 0x0001;
constexpr UINT ImageLockModeWrite = 0x0002;

constexpr UINT ImageFlagsHasAlpha = 0x0002;

struct ImageInfo {
    GUID RawDataFormat = GUID_NULL;
    ::os::PixelFormat PixelFormat = 0;  // 32bppARGB when the file has alpha, else 32bppRGB
    UINT Width = 0;
    UINT Height = 0;
    UINT TileWidth = 0;
    UINT TileHeight = 0;
    double Xdpi = 0;  // the screen's (GetDeviceCaps LOGPIXELSX)
    double Ydpi = 0;
    UINT Flags = 0;
};

struct BitmapData {
    UINT Width = 0;
    UINT Height = 0;
    LONG Stride = 0;
    ::os::PixelFormat PixelFormat = 0;
    void* Scan0 = nullptr;
    UINT_PTR Reserved = 0;
};

enum InterpolationHint { InterpolationHintDefault, InterpolationHintNearestNeighbor };

struct IImage : IUnknown {
    virtual HRESULT GetImageInfo(ImageInfo* info) = 0;
    // Draws the image's `src` part (HIMETRIC units at the image's dpi; null:
    // all of it) into `dst` with its alpha, straight source over.
    virtual HRESULT Draw(HDC hdc, const RECT* dst, const RECT* src) = 0;

protected:
    ~IImage() = default;
};

struct IBitmapImage : IUnknown {
    virtual HRESULT GetSize(SIZE* size) = 0;
    virtual HRESULT GetPixelFormatID(PixelFormat* format) = 0;
    // `rect` null: the whole bitmap. E_INVALIDARG for a rectangle outside it
    // or an unsupported format or mode; E_FAIL while another lock is held.
    virtual HRESULT LockBits(const RECT* rect, UINT flags, PixelFormat format, BitmapData* data) = 0;
    virtual HRESULT UnlockBits(const BitmapData* data) = 0;

protected:
    ~IBitmapImage() = default;
};

struct IImagingFactory : IUnknown {
    virtual HRESULT CreateImageFromFile(const char* path, IImage** image) = 0;
    virtual HRESULT CreateImageFromBuffer(const void* buffer, UINT size, IImage** image) = 0;
    // Width or height 0: the image's own.
    virtual HRESULT CreateBitmapFromImage(IImage* image, UINT width, UINT height, PixelFormat format,
                                          InterpolationHint hint, IBitmapImage** bitmap) = 0;

protected:
    ~IImagingFactory() = default;
};

constexpr IID IID_IImagingFactory = PlatformId(3, 1);
constexpr IID IID_IImage = PlatformId(3, 2);
constexpr IID IID_IBitmapImage = PlatformId(3, 3);
constexpr CLSID CLSID_ImagingFactory = PlatformId(4, 1);

}  // namespace os
