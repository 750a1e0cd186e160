// The skin generator's drawing basics on top of cairo: the palette of the
// skin, a canvas that owns its surface, rounded shapes, gradients and text
// in DejaVu Sans Bold. The style is meant for a windscreen in daylight:
// near-black surfaces, white symbols, one bright accent for what is pressed.
#pragma once

#include <string>

#include <cairo.h>

namespace skin {

struct Rgb {
    double r, g, b;
};

constexpr Rgb Hex(unsigned v)
{
    return {((v >> 16) & 255) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0};
}

namespace colour {
constexpr Rgb kBackground = Hex(0x090d12);
constexpr Rgb kColumn = Hex(0x0e141b);       // the toolbar column
constexpr Rgb kPanel = Hex(0x131a22);
constexpr Rgb kPanelLight = Hex(0x1d2732);
constexpr Rgb kBorder = Hex(0x3c4c5e);
constexpr Rgb kText = Hex(0xf4f7fa);
constexpr Rgb kMuted = Hex(0x8c9cad);
constexpr Rgb kCyan = Hex(0x29b6f6);
constexpr Rgb kCyanBright = Hex(0x8adcff);
constexpr Rgb kCyanDeep = Hex(0x0f8fd6);
constexpr Rgb kGreen = Hex(0x3ddc5a);
constexpr Rgb kLime = Hex(0xc8e63c);
constexpr Rgb kAmber = Hex(0xffb300);
constexpr Rgb kRed = Hex(0xff3b30);
constexpr Rgb kDeepRed = Hex(0xb3121c);
constexpr Rgb kInk = Hex(0x07121b);          // symbols on a pressed (bright) button
constexpr Rgb kBlack = Hex(0x000000);
constexpr Rgb kWhite = Hex(0xffffff);
constexpr Rgb kDisabledFill = Hex(0x1b1d20);
constexpr Rgb kDisabledBorder = Hex(0x35393d);
constexpr Rgb kDisabledSymbol = Hex(0x5b6066);
}  // namespace colour

// An image surface with its drawing context: ARGB (transparent to begin
// with) when `alpha`, else RGB (black to begin with).
class Canvas {
public:
    Canvas(int width, int height, bool alpha);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* Cr() const { return cr_; }
    cairo_surface_t* Surface() const { return surface_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    int width_;
    int height_;
    cairo_surface_t* surface_;
    cairo_t* cr_;
};

void SetColour(cairo_t* cr, Rgb c, double alpha = 1.0);
void RoundRect(cairo_t* cr, double x, double y, double w, double h, double radius);
// Fills the current path with a vertical gradient from `top` to `bottom`
// between y0 and y1; keeps the path.
void FillVertical(cairo_t* cr, double y0, double y1, Rgb top, Rgb bottom, double alpha = 1.0);
void FillAll(cairo_t* cr, Rgb c);

enum class Align { Left, Centre, Right };
// Text in DejaVu Sans Bold of `size` pixels, its ink centred vertically on
// cy; x is its left edge, centre or right edge by `align`.
void Text(cairo_t* cr, const std::string& text, double x, double cy, double size, Rgb c, Align align,
          double alpha = 1.0);
// The widest text size (at most `size`) at which `text` is at most `width` wide.
double FitText(cairo_t* cr, const std::string& text, double size, double width);

}  // namespace skin
