// The imaging factory and its image and bitmap-image objects.
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/graphics/imaging.h"
#include "platform/graphics/internal/blit_map.h"
#include "platform/graphics/internal/image_decode.h"
#include "platform/graphics/internal/imaging_classes.h"

namespace os {

namespace {

std::uint32_t Premultiply(std::uint32_t argb)
{
    const std::uint32_t a = argb >> 24;
    std::uint32_t out = a << 24;
    for (int shift = 0; shift < 24; shift += 8) out |= detail::Div255(((argb >> shift) & 0xFF) * a) << shift;
    return out;
}

// A decoded picture; its pixels never change.
class Image final : public CUnknown, public IImage {
public:
    explicit Image(std::shared_ptr<const detail::DecodedImage> pixels)
        : CUnknown(nullptr), pixels_(std::move(pixels))
    {
        for (std::uint32_t p : pixels_->argb) {
            if ((p >> 24) != 0xFF) {
                hasAlpha_ = true;
                break;
            }
        }
    }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IImage || iid == IID_IUnknown) return GetInterface(static_cast<IImage*>(this), out);
        return CUnknown::NonDelegatingQueryInterface(iid, out);
    }

    const detail::DecodedImage& Pixels() const { return *pixels_; }

    HRESULT GetImageInfo(ImageInfo* info) override
    {
        if (info == nullptr) return E_POINTER;
        *info = ImageInfo{};
        info->PixelFormat = hasAlpha_ ? PixelFormat32bppARGB : PixelFormat32bppRGB;
        info->Width = static_cast<UINT>(pixels_->width);
        info->Height = static_cast<UINT>(pixels_->height);
        info->TileWidth = info->Width;
        info->TileHeight = 1;
        info->Xdpi = info->Ydpi = detail::ScreenDpi();
        info->Flags = hasAlpha_ ? ImageFlagsHasAlpha : 0;
        return S_OK;
    }

    HRESULT Draw(HDC hdc, const RECT* dst, const RECT* src) override
    {
        if (dst == nullptr) return E_INVALIDARG;
        const std::int64_t dpi = detail::ScreenDpi();
        const auto pixels = [dpi](LONG himetric) { return static_cast<int>(himetric * dpi / 2540); };
        detail::BlitArgs a{dst->left, dst->top, dst->right - dst->left, dst->bottom - dst->top, 0, 0,
                           pixels_->width, pixels_->height};
        if (src != nullptr) {
            a.srcX = pixels(src->left);
            a.srcY = pixels(src->top);
            a.srcWidth = pixels(src->right) - a.srcX;
            a.srcHeight = pixels(src->bottom) - a.srcY;
        }
        if (!detail::CheckBlitArgs(a)) return E_INVALIDARG;
        std::lock_guard<std::mutex> lock(detail::GdiMutex());
        detail::DcRec* dc = detail::FindDc(hdc);
        if (dc == nullptr) return E_INVALIDARG;
        detail::Surface* target = detail::TargetOf(*dc);
        if (target == nullptr) return S_OK;
        detail::Surface bounds;
        bounds.width = pixels_->width;
        bounds.height = pixels_->height;
        detail::ForEachMapped(a, detail::DrawableBox(*dc), bounds, [&](int dx, int dy, int sx, int sy) {
            const std::uint32_t s = pixels_->argb[static_cast<std::size_t>(sy) * pixels_->width + sx];
            const std::uint32_t d = target->ReadArgb(dx, dy);
            const std::uint32_t alpha = s >> 24;
            std::uint32_t out = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                out |= detail::Div255(((s >> shift) & 0xFF) * alpha + ((d >> shift) & 0xFF) * (255 - alpha)) << shift;
            }
            out |= (alpha + detail::Div255((d >> 24) * (255 - alpha))) << 24;
            target->WriteArgb(dx, dy, out);
        });
        return S_OK;
    }

private:
    std::shared_ptr<const detail::DecodedImage> pixels_;
    bool hasAlpha_ = false;
};

// Straight ARGB pixels reached through LockBits.
class BitmapImage final : public CUnknown, public IBitmapImage {
public:
    BitmapImage(int width, int height, PixelFormat format, std::vector<std::uint32_t> argb)
        : CUnknown(nullptr), width_(width), height_(height), format_(format), argb_(std::move(argb))
    {
    }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IBitmapImage || iid == IID_IUnknown) return GetInterface(static_cast<IBitmapImage*>(this), out);
        return CUnknown::NonDelegatingQueryInterface(iid, out);
    }

    HRESULT GetSize(SIZE* size) override
    {
        if (size == nullptr) return E_POINTER;
        *size = SIZE{width_, height_};
        return S_OK;
    }

    HRESULT GetPixelFormatID(PixelFormat* format) override
    {
        if (format == nullptr) return E_POINTER;
        *format = format_;
        return S_OK;
    }

    HRESULT LockBits(const RECT* rect, UINT flags, PixelFormat format, BitmapData* data) override
    {
        if (data == nullptr) return E_POINTER;
        const RECT r = rect ? *rect : RECT{0, 0, width_, height_};
        const bool readable = format == PixelFormat32bppARGB || format == PixelFormat32bppPARGB ||
                              format == PixelFormat32bppRGB || format == PixelFormat16bppRGB565;
        if (r.left < 0 || r.top < 0 || r.right > width_ || r.bottom > height_ || r.right <= r.left ||
            r.bottom <= r.top || (flags & ~(ImageLockModeRead | ImageLockModeWrite)) != 0 || flags == 0 ||
            !readable || ((flags & ImageLockModeWrite) && format != PixelFormat32bppARGB)) {
            return E_INVALIDARG;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (locked_) return E_FAIL;
        const int w = r.right - r.left, h = r.bottom - r.top;
        const int bytes = format == PixelFormat16bppRGB565 ? 2 : 4;
        const LONG stride = ((w * bytes + 3) / 4) * 4;
        buffer_.assign(static_cast<std::size_t>(stride) * h, 0);
        for (int y = 0; y < h; ++y) {
            std::uint8_t* row = buffer_.data() + static_cast<std::size_t>(y) * stride;
            for (int x = 0; x < w; ++x) {
                const std::uint32_t p = argb_[static_cast<std::size_t>(r.top + y) * width_ + r.left + x];
                std::uint32_t v = p;
                if (format == PixelFormat32bppPARGB) v = Premultiply(p);
                if (format == PixelFormat32bppRGB) v = p | 0xFF000000u;
                if (bytes == 2) {
                    const auto v16 = static_cast<std::uint16_t>(detail::PackColor(detail::PixelLayout::Rgb565, p));
                    std::memcpy(row + static_cast<std::size_t>(x) * 2, &v16, 2);
                } else {
                    std::memcpy(row + static_cast<std::size_t>(x) * 4, &v, 4);
                }
            }
        }
        locked_ = true;
        lockRect_ = r;
        lockFlags_ = flags;
        *data = BitmapData{static_cast<UINT>(w), static_cast<UINT>(h), stride, format, buffer_.data(), 0};
        return S_OK;
    }

    HRESULT UnlockBits(const BitmapData* data) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (data == nullptr || !locked_ || data->Scan0 != buffer_.data()) return E_INVALIDARG;
        if (lockFlags_ & ImageLockModeWrite) {
            for (LONG y = lockRect_.top; y < lockRect_.bottom; ++y) {
                const std::uint8_t* row = buffer_.data() + static_cast<std::size_t>(y - lockRect_.top) * data->Stride;
                std::memcpy(&argb_[static_cast<std::size_t>(y) * width_ + lockRect_.left], row,
                            static_cast<std::size_t>(lockRect_.right - lockRect_.left) * 4);
            }
        }
        locked_ = false;
        buffer_.clear();
        return S_OK;
    }

private:
    std::mutex mutex_;
    int width_;
    int height_;
    PixelFormat format_;
    std::vector<std::uint32_t> argb_;
    std::vector<std::uint8_t> buffer_;
    bool locked_ = false;
    RECT lockRect_;
    UINT lockFlags_ = 0;
};

class ImagingFactory final : public CUnknown, public IImagingFactory {
public:
    ImagingFactory() : CUnknown(nullptr) {}
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IImagingFactory || iid == IID_IUnknown) {
            return GetInterface(static_cast<IImagingFactory*>(this), out);
        }
        return CUnknown::NonDelegatingQueryInterface(iid, out);
    }

    HRESULT CreateImageFromFile(const char* path, IImage** image) override
    {
        if (image == nullptr) return E_POINTER;
        *image = nullptr;
        std::vector<std::uint8_t> bytes;
        std::string error;
        if (path == nullptr || !detail::ReadDeviceFile(path, &bytes, &error)) {
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        }
        return FromBytes(bytes, image);
    }

    HRESULT CreateImageFromBuffer(const void* buffer, UINT size, IImage** image) override
    {
        if (image == nullptr) return E_POINTER;
        *image = nullptr;
        if (buffer == nullptr || size == 0 || size > detail::kMaxImageFileBytes) return E_INVALIDARG;
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        return FromBytes(std::vector<std::uint8_t>(p, p + size), image);
    }

    HRESULT CreateBitmapFromImage(IImage* image, UINT width, UINT height, PixelFormat format, InterpolationHint,
                                  IBitmapImage** bitmap) override
    {
        if (bitmap == nullptr) return E_POINTER;
        *bitmap = nullptr;
        auto* source = dynamic_cast<Image*>(image);
        if (source == nullptr || width > kMaxBitmapSide || height > kMaxBitmapSide ||
            (format != PixelFormat32bppARGB && format != PixelFormat32bppPARGB && format != PixelFormat32bppRGB)) {
            return E_INVALIDARG;
        }
        const detail::DecodedImage& from = source->Pixels();
        const int w = width ? static_cast<int>(width) : from.width;
        const int h = height ? static_cast<int>(height) : from.height;
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
        for (int y = 0; y < h; ++y) {
            const std::int64_t sy = (2 * static_cast<std::int64_t>(y) + 1) * from.height / (2 * h);
            for (int x = 0; x < w; ++x) {
                const std::int64_t sx = (2 * static_cast<std::int64_t>(x) + 1) * from.width / (2 * w);
                pixels[static_cast<std::size_t>(y) * w + x] = from.argb[static_cast<std::size_t>(sy) * from.width + sx];
            }
        }
        auto* object = new BitmapImage(w, h, format, std::move(pixels));
        return GetInterface(static_cast<IBitmapImage*>(object), reinterpret_cast<void**>(bitmap));
    }

private:
    static HRESULT FromBytes(const std::vector<std::uint8_t>& bytes, IImage** image)
    {
        auto decoded = std::make_shared<detail::DecodedImage>();
        std::string error;
        if (!detail::DecodeImage(bytes, decoded.get(), &error)) return E_FAIL;
        auto* object = new Image(std::move(decoded));
        return GetInterface(static_cast<IImage*>(object), reinterpret_cast<void**>(image));
    }
};

}  // namespace

CUnknown* detail::NewImagingFactory(HRESULT* hr)
{
    *hr = S_OK;
    return new ImagingFactory();
}

}  // namespace os
