#include "ui/skin_images.h"

#include <cstdio>
#include <cstring>

#include "storage/folder_layout.h"

namespace {

constexpr os::LONG kPixelsPerMetre = 11811;

// The factory's bitmap of the image in straight ARGB, copied into a new
// top-down 32-bit DIB section and premultiplied there.
os::HBITMAP CopyPremultiplied(os::IBitmapImage* image, int width, int height)
{
    os::BitmapData data;
    if (os::FAILED(image->LockBits(nullptr, os::ImageLockModeRead, os::PixelFormat32bppARGB, &data))) return nullptr;
    os::BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = os::BI_BITFIELDS;
    info.bmiHeader.biXPelsPerMeter = kPixelsPerMetre;
    info.bmiHeader.biYPelsPerMeter = kPixelsPerMetre;
    const os::DWORD masks[3] = {0xFF0000, 0x00FF00, 0x0000FF};
    std::memcpy(info.bmiColors, masks, sizeof masks);
    void* bits = nullptr;
    os::HBITMAP bitmap = os::CreateDIBSection(nullptr, &info, os::DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        auto* out = static_cast<std::uint32_t*>(bits);
        for (int y = 0; y < height; ++y) {
            std::memcpy(out + static_cast<std::size_t>(y) * width,
                        static_cast<const std::uint8_t*>(data.Scan0) + static_cast<std::ptrdiff_t>(y) * data.Stride,
                        static_cast<std::size_t>(width) * 4);
        }
        PremultiplyPixels(out, static_cast<std::size_t>(width) * height);
    }
    image->UnlockBits(&data);
    return bitmap;
}

}  // namespace

std::string SkinFolder(int screenWidth, int screenHeight)
{
    std::string module;
    GetModuleFolder(&module);
    char folder[64];
    std::snprintf(folder, sizeof folder, "\\image\\%03dx%03d", screenWidth, screenHeight);
    return module + folder;
}

std::string IdleSkinFolder()
{
    return SkinFolder(800, 480);
}

std::string SkinFile(const std::string& folder, const char* subfolder, const char* name)
{
    return folder + "\\" + subfolder + "\\" + name;
}

os::IImagingFactory* CreateSkinImagingFactory()
{
    os::IImagingFactory* factory = nullptr;
    if (os::FAILED(os::CoCreateInstance(os::CLSID_ImagingFactory, nullptr, os::CLSCTX_INPROC_SERVER,
                                        os::IID_IImagingFactory, reinterpret_cast<void**>(&factory)))) {
        return nullptr;
    }
    return factory;
}

void ReleaseSkinImagingFactory(os::IImagingFactory* factory)
{
    if (factory != nullptr) factory->Release();
}

os::HBITMAP LoadOpaqueImage(const char* path)
{
    os::HBITMAP bitmap = os::SHLoadImageFile(path);
    int width = 0;
    int height = 0;
    if (bitmap != nullptr && (!BitmapSize(bitmap, &width, &height) || width > kMaxSkinImageSide ||
                              height > kMaxSkinImageSide)) {
        os::DeleteObject(bitmap);
        return nullptr;
    }
    return bitmap;
}

os::HBITMAP LoadAlphaImage(os::IImagingFactory* factory, const char* path)
{
    if (factory == nullptr) return nullptr;
    os::IImage* image = nullptr;
    if (os::FAILED(factory->CreateImageFromFile(path, &image))) return nullptr;
    os::ImageInfo info;
    os::HBITMAP result = nullptr;
    if (os::SUCCEEDED(image->GetImageInfo(&info)) && info.Width > 0 && info.Height > 0 &&
        info.Width <= kMaxSkinImageSide && info.Height <= kMaxSkinImageSide) {
        os::IBitmapImage* pixels = nullptr;
        if (os::SUCCEEDED(factory->CreateBitmapFromImage(image, info.Width, info.Height, os::PixelFormat32bppARGB,
                                                         os::InterpolationHintDefault, &pixels))) {
            result = CopyPremultiplied(pixels, static_cast<int>(info.Width), static_cast<int>(info.Height));
            pixels->Release();
        }
    }
    image->Release();
    return result;
}

void PremultiplyPixels(std::uint32_t* pixels, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t p = pixels[i];
        const std::uint32_t a = p >> 24;
        const std::uint32_t r = ((p >> 16) & 0xFF) * a / 255;
        const std::uint32_t g = ((p >> 8) & 0xFF) * a / 255;
        const std::uint32_t b = (p & 0xFF) * a / 255;
        pixels[i] = (a << 24) | (r << 16) | (g << 8) | b;
    }
}

bool BitmapSize(os::HBITMAP bitmap, int* width, int* height)
{
    os::BITMAP info;
    if (bitmap == nullptr || os::GetObjectW(bitmap, sizeof info, &info) == 0) return false;
    *width = info.bmWidth;
    *height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    return true;
}
