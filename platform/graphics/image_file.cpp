// The shell's image loader: an image file as an opaque screen-format bitmap.
#include "platform/graphics/imaging.h"
#include "platform/graphics/internal/gdi_state.h"
#include "platform/graphics/internal/image_decode.h"

namespace os {

HBITMAP SHLoadImageFile(const char* path)
{
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!detail::ReadDeviceFile(path, &bytes, &error)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    detail::DecodedImage image;
    if (!detail::DecodeImage(bytes, &image, &error)) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    auto surface = detail::NewSurface(image.width, image.height, detail::PixelLayout::Rgb565, true);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            surface->WriteArgb(x, y, image.argb[static_cast<std::size_t>(y) * image.width + x]);
        }
    }
    detail::GdiObject o;
    o.kind = detail::GdiKind::Bitmap;
    o.surface = std::move(surface);
    std::lock_guard<std::mutex> lock(detail::GdiMutex());
    return static_cast<HBITMAP>(detail::NewObject(std::move(o)));
}

}  // namespace os
