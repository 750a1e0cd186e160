#include "skin/paint.h"

#include <algorithm>
#include <cmath>

namespace skin {

Canvas::Canvas(int width, int height, bool alpha)
    : width_(width),
      height_(height),
      surface_(cairo_image_surface_create(alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, width, height)),
      cr_(cairo_create(surface_))
{
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
}

Canvas::~Canvas()
{
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

void SetColour(cairo_t* cr, Rgb c, double alpha)
{
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void RoundRect(cairo_t* cr, double x, double y, double w, double h, double radius)
{
    const double r = std::min({radius, w / 2, h / 2});
    constexpr double kQuarter = M_PI / 2;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kQuarter, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kQuarter);
    cairo_arc(cr, x + r, y + h - r, r, kQuarter, 2 * kQuarter);
    cairo_arc(cr, x + r, y + r, r, 2 * kQuarter, 3 * kQuarter);
    cairo_close_path(cr);
}

void FillVertical(cairo_t* cr, double y0, double y1, Rgb top, Rgb bottom, double alpha)
{
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgba(gradient, 0, top.r, top.g, top.b, alpha);
    cairo_pattern_add_color_stop_rgba(gradient, 1, bottom.r, bottom.g, bottom.b, alpha);
    cairo_set_source(cr, gradient);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(gradient);
}

void FillAll(cairo_t* cr, Rgb c)
{
    cairo_save(cr);
    SetColour(cr, c);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_restore(cr);
}

namespace {

void SelectFont(cairo_t* cr, double size)
{
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, size);
}

}  // namespace

void Text(cairo_t* cr, const std::string& text, double x, double cy, double size, Rgb c, Align align, double alpha)
{
    SelectFont(cr, size);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, text.c_str(), &ext);
    double left = x;
    if (align == Align::Centre) left = x - ext.x_advance / 2;
    if (align == Align::Right) left = x - ext.x_advance;
    SetColour(cr, c, alpha);
    cairo_move_to(cr, left, cy - (ext.y_bearing + ext.height / 2));
    cairo_show_text(cr, text.c_str());
    cairo_new_path(cr);
}

double FitText(cairo_t* cr, const std::string& text, double size, double width)
{
    SelectFont(cr, size);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, text.c_str(), &ext);
    if (ext.x_advance <= width || ext.x_advance <= 0) return size;
    return size * width / ext.x_advance;
}

}  // namespace skin
