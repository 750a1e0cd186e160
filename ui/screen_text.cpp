#include "ui/screen_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::string_view kFlags = "-+ #0";
constexpr std::string_view kDigits = "0123456789";
constexpr const char* kDistanceFallback = "%g";

char ConversionClass(char c)
{
    if (std::strchr("diuxXoc", c) != nullptr) return 'd';
    if (std::strchr("fFeEgGaA", c) != nullptr) return 'f';
    return c == 's' ? 's' : '\0';
}

// The class of the conversion starting after the '%' at `at`; moves `at`
// past it. '\0' for anything not allowed.
char NextConversion(std::string_view format, std::size_t* at)
{
    std::size_t i = *at;
    while (i < format.size() && kFlags.find(format[i]) != std::string_view::npos) ++i;
    while (i < format.size() && kDigits.find(format[i]) != std::string_view::npos) ++i;
    if (i < format.size() && format[i] == '.') {
        ++i;
        while (i < format.size() && kDigits.find(format[i]) != std::string_view::npos) ++i;
    }
    if (i >= format.size()) return '\0';
    *at = i + 1;
    return ConversionClass(format[i]);
}

}  // namespace

bool FormatTakes(std::string_view format, std::string_view conversions)
{
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (i + 1 < format.size() && format[i + 1] == '%') {
            ++i;
            continue;
        }
        std::size_t at = i + 1;
        const char kind = NextConversion(format, &at);
        if (kind == '\0' || next >= conversions.size() || conversions[next] != kind) return false;
        ++next;
        i = at - 1;
    }
    return next == conversions.size();
}

std::string CheckedFormat(std::string_view format, std::string_view conversions, std::string_view fallback)
{
    return std::string(FormatTakes(format, conversions) ? format : fallback);
}

std::string DistanceText(std::string_view format, double km)
{
    const std::string checked = CheckedFormat(format, "f", kDistanceFallback);
    const bool kilometres = km > 1.0;
    char number[128];
    std::snprintf(number, sizeof number, checked.c_str(), kilometres ? km : km * 1000.0);
    return std::string(number) + (kilometres ? " km" : " m");
}

std::string WholeDistanceText(double km)
{
    if (!(km > 0)) km = 0;  // also NaN
    constexpr double kLargest = 999999;
    char text[32];
    if (km > 1.0) {
        std::snprintf(text, sizeof text, "%d km", static_cast<int>(std::min(km, kLargest)));
    } else {
        std::snprintf(text, sizeof text, "%d m", static_cast<int>(km * 1000.0));
    }
    return text;
}

bool PixelsToHimetric(int left, int top, int right, int bottom, int dpiX, int dpiY, HimetricRect* out)
{
    if (dpiX <= 0 || dpiY <= 0 || out == nullptr) return false;
    auto scale = [](int v, int dpi) { return static_cast<long>(static_cast<long long>(v) * 2540 / dpi); };
    *out = HimetricRect{scale(left, dpiX), scale(top, dpiY), scale(right, dpiX), scale(bottom, dpiY)};
    return true;
}
