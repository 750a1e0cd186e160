// The texts the recording screen formats from the language library's
// strings. A string used as a format is first checked: its conversions must
// be exactly the ones the caller passes (in order), or a fixed format of our
// own is used, so a translation can never make the formatting read values
// that are not there.
#pragma once

#include <string>
#include <string_view>

// `conversions` lists the expected conversions in order, one letter each:
// 'd' for an int (d, i, u, x, X, o, c), 'f' for a double (f, F, e, E, g, G,
// a, A), 's' for a string. Flags, a width and a precision are allowed, but
// not '*', '$', 'n' nor length modifiers; "%%" is no conversion.
bool FormatTakes(std::string_view format, std::string_view conversions);
// The format when it takes `conversions`, else the fallback.
std::string CheckedFormat(std::string_view format, std::string_view conversions, std::string_view fallback);

// The distance line: more than 1 km as kilometres with " km", else metres
// with " m", the number formatted by `format` (one double).
std::string DistanceText(std::string_view format, double km);
// The same rule in whole units, "%d km" or "%d m" (truncated), for the
// figures drawn over the picture; a negative or unknown distance is "0 m".
std::string WholeDistanceText(double km);

// dpi 0 is refused (false, nothing written). Each coordinate x 2540 / dpi, truncated.
struct HimetricRect {
    long left, top, right, bottom;
};
bool PixelsToHimetric(int left, int top, int right, int bottom, int dpiX, int dpiY, HimetricRect* out);
