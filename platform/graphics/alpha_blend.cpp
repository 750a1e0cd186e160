// AlphaBlend: source-over blending with constant and per-pixel alpha.
#include <algorithm>

#include "platform/graphics/internal/blit_map.h"

namespace os {

namespace {

std::uint32_t Channel(std::uint32_t argb, int shift) { return (argb >> shift) & 0xFF; }

std::uint32_t Blend(std::uint32_t s, std::uint32_t d, std::uint32_t ca, bool perPixel)
{
    std::uint32_t out = 0;
    if (!perPixel) {
        for (int shift = 0; shift < 32; shift += 8) {
            const std::uint32_t v = detail::Div255(Channel(s, shift) * ca + Channel(d, shift) * (255 - ca));
            out |= v << shift;
        }
        return out;
    }
    const std::uint32_t a = detail::Div255(Channel(s, 24) * ca);
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t sc = detail::Div255(Channel(s, shift) * ca);
        const std::uint32_t v = std::min<std::uint32_t>(255, sc + detail::Div255(Channel(d, shift) * (255 - a)));
        out |= v << shift;
    }
    return out;
}

}  // namespace

BOOL AlphaBlend(HDC dstDc, int x, int y, int width, int height, HDC srcDc, int srcX, int srcY, int srcWidth,
                int srcHeight, BLENDFUNCTION blend)
{
    const detail::BlitArgs a{x, y, width, height, srcX, srcY, srcWidth, srcHeight};
    if (!detail::CheckBlitArgs(a)) return FALSE;
    if (blend.BlendOp != AC_SRC_OVER || blend.BlendFlags != 0 || (blend.AlphaFormat & ~AC_SRC_ALPHA) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(detail::GdiMutex());
    detail::DcRec* dst = detail::FindDc(dstDc);
    detail::DcRec* src = detail::FindDc(srcDc);
    if (dst == nullptr || src == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    detail::Surface* target = detail::TargetOf(*dst);
    detail::Surface* from = detail::TargetOf(*src);
    if (target == nullptr || from == nullptr) return TRUE;
    const bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
    if (perPixel && from->Bpp() != 32) {
        SetLastError(ERROR_INVALID_PARAMETER);  // per-pixel alpha needs a 32-bit source
        return FALSE;
    }
    const auto source = detail::StableSource(from, target);
    const std::uint32_t ca = blend.SourceConstantAlpha;
    // Most of a skin's pixels are either fully transparent or opaque; for
    // those the blend's arithmetic gives the destination or the source back
    // exactly (Div255 is exact on multiples of 255), so they skip it.
    const bool opaqueCopies = ca == 255;
    detail::ForEachMapped(a, detail::DrawableBox(*dst), *source, [&](int dx, int dy, int sx, int sy) {
        const std::uint32_t s = source->ReadArgb(sx, sy);
        if (perPixel) {
            if (s == 0) return;
            if (opaqueCopies && (s >> 24) == 0xFF) {
                target->WriteArgb(dx, dy, s);
                return;
            }
        }
        target->WriteArgb(dx, dy, Blend(s, target->ReadArgb(dx, dy), ca, perPixel));
    });
    return TRUE;
}

}  // namespace os
