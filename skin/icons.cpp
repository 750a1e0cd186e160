#include "skin/icons.h"

#include <cmath>
#include <initializer_list>
#include <utility>

namespace skin {

namespace {

void Line(cairo_t* cr, std::initializer_list<std::pair<double, double>> points, double width)
{
    bool first = true;
    for (const auto& [x, y] : points) {
        if (first) cairo_move_to(cr, x, y);
        else cairo_line_to(cr, x, y);
        first = false;
    }
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

void Disc(cairo_t* cr, double x, double y, double r)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, x, y, r, 0, 2 * M_PI);
    cairo_fill(cr);
}

// A red bar across the symbol, with a gap of the surface around it.
void StrikeThrough(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.bg);
    Line(cr, {{16, 12}, {84, 88}}, 18);
    SetColour(cr, s.accent);
    Line(cr, {{16, 12}, {84, 88}}, 9);
}

}  // namespace

void DrawIcon(cairo_t* cr, IconFn icon, double cx, double cy, double size, const IconStyle& style)
{
    cairo_save(cr);
    cairo_translate(cr, cx - size / 2, cy - size / 2);
    cairo_scale(cr, size / 100, size / 100);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_new_path(cr);
    icon(cr, style);
    cairo_restore(cr);
}

void IconSpeaker(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    cairo_rectangle(cr, 10, 36, 20, 28);
    cairo_fill(cr);
    cairo_move_to(cr, 27, 36);
    cairo_line_to(cr, 50, 15);
    cairo_line_to(cr, 50, 85);
    cairo_line_to(cr, 27, 64);
    cairo_close_path(cr);
    cairo_fill(cr);
    if (s.off) {
        SetColour(cr, s.accent);
        Line(cr, {{62, 36}, {88, 64}}, 9);
        Line(cr, {{88, 36}, {62, 64}}, 9);
        return;
    }
    for (double r : {16.0, 29.0, 42.0}) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, 50, 50, r, -0.8, 0.8);
        cairo_set_line_width(cr, 7);
        cairo_stroke(cr);
    }
}

void IconMicrophone(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    RoundRect(cr, 37, 8, 26, 52, 13);
    cairo_fill(cr);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 50, 44, 24, 0, M_PI);
    cairo_set_line_width(cr, 7);
    cairo_stroke(cr);
    Line(cr, {{50, 68}, {50, 84}}, 7);
    Line(cr, {{35, 87}, {65, 87}}, 7);
    if (s.off) StrikeThrough(cr, s);
}

void IconGear(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    constexpr int kTeeth = 8;
    constexpr double kOuter = 47;
    constexpr double kInner = 35;
    constexpr double kHalfTooth = 0.21;
    constexpr double kFlank = 0.09;
    for (int k = 0; k < kTeeth; ++k) {
        const double a = k * 2 * M_PI / kTeeth;
        for (const auto& [angle, radius] : {std::pair{a - kHalfTooth - kFlank, kInner}, std::pair{a - kHalfTooth, kOuter},
                                            std::pair{a + kHalfTooth, kOuter}, std::pair{a + kHalfTooth + kFlank, kInner}}) {
            cairo_line_to(cr, 50 + radius * std::cos(angle), 50 + radius * std::sin(angle));
        }
    }
    cairo_close_path(cr);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 50, 50, 14, 0, 2 * M_PI);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_fill(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
}

void IconPower(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 50, 54, 33, -M_PI / 2 + 0.62, 3 * M_PI / 2 - 0.62);
    cairo_set_line_width(cr, 10);
    cairo_stroke(cr);
    Line(cr, {{50, 10}, {50, 50}}, 10);
}

void IconPlus(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    Line(cr, {{20, 50}, {80, 50}}, 14);
    Line(cr, {{50, 20}, {50, 80}}, 14);
}

void IconMinus(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    Line(cr, {{20, 50}, {80, 50}}, 14);
}

void IconCheck(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    Line(cr, {{18, 52}, {40, 74}, {82, 28}}, 12);
}

void IconCross(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    Line(cr, {{24, 24}, {76, 76}}, 12);
    Line(cr, {{76, 24}, {24, 76}}, 12);
}

void IconSun(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    Disc(cr, 50, 50, 18);
    for (int k = 0; k < 8; ++k) {
        const double a = k * M_PI / 4;
        Line(cr, {{50 + 28 * std::cos(a), 50 + 28 * std::sin(a)}, {50 + 42 * std::cos(a), 50 + 42 * std::sin(a)}}, 8);
    }
}

void IconMagnifier(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 42, 42, 26, 0, 2 * M_PI);
    cairo_set_line_width(cr, 9);
    cairo_stroke(cr);
    Line(cr, {{62, 62}, {86, 86}}, 14);
    Line(cr, {{30, 42}, {54, 42}}, 7);
    Line(cr, {{42, 30}, {42, 54}}, 7);
}

void IconSatellite(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    cairo_rectangle(cr, 4, 22, 30, 22);
    cairo_rectangle(cr, 66, 22, 30, 22);
    cairo_fill(cr);
    Line(cr, {{34, 33}, {66, 33}}, 6);
    RoundRect(cr, 38, 14, 24, 36, 5);
    cairo_fill(cr);
    Line(cr, {{50, 50}, {50, 58}}, 6);
    SetColour(cr, s.bg);
    cairo_rectangle(cr, 18, 22, 2, 22);
    cairo_rectangle(cr, 80, 22, 2, 22);
    cairo_fill(cr);
    SetColour(cr, s.accent);
    for (int i = 0; i < s.level; ++i) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, 50, 50, 18 + i * 13, 0.22 * M_PI, 0.78 * M_PI);
        cairo_set_line_width(cr, 7);
        cairo_stroke(cr);
    }
    if (s.off) StrikeThrough(cr, s);
}

void IconBattery(cairo_t* cr, const IconStyle& s)
{
    const Rgb body = s.level == 4 ? colour::kRed : s.fg;
    SetColour(cr, body);
    RoundRect(cr, 5, 27, 80, 46, 8);
    cairo_set_line_width(cr, 7);
    cairo_stroke(cr);
    RoundRect(cr, 86, 39, 10, 22, 3);
    cairo_fill(cr);
    if (s.level == 0) {
        SetColour(cr, colour::kAmber);
        cairo_move_to(cr, 50, 29);
        cairo_line_to(cr, 30, 54);
        cairo_line_to(cr, 46, 54);
        cairo_line_to(cr, 40, 72);
        cairo_line_to(cr, 62, 45);
        cairo_line_to(cr, 47, 45);
        cairo_line_to(cr, 54, 29);
        cairo_close_path(cr);
        cairo_fill(cr);
        return;
    }
    static constexpr int kBars[5] = {0, 4, 3, 2, 1};
    static constexpr Rgb kColours[5] = {colour::kGreen, colour::kGreen, colour::kGreen, colour::kAmber, colour::kRed};
    SetColour(cr, kColours[s.level]);
    const double barWidth = (66.0 - 3 * 4) / 4;
    for (int i = 0; i < kBars[s.level]; ++i) {
        cairo_rectangle(cr, 12 + i * (barWidth + 4), 34, s.level == 4 ? barWidth / 2 : barWidth, 32);
    }
    cairo_fill(cr);
}

void IconChip(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    RoundRect(cr, 24, 24, 52, 52, 6);
    cairo_fill(cr);
    for (int k = 0; k < 4; ++k) {
        const double p = 29 + k * 13;
        cairo_rectangle(cr, 12, p, 12, 6);
        cairo_rectangle(cr, 76, p, 12, 6);
        cairo_rectangle(cr, p, 12, 6, 12);
        cairo_rectangle(cr, p, 76, 6, 12);
    }
    cairo_fill(cr);
    SetColour(cr, s.bg);
    Disc(cr, 34, 34, 5);
}

void IconCard(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    cairo_move_to(cr, 26, 8);
    cairo_line_to(cr, 62, 8);
    cairo_line_to(cr, 76, 22);
    cairo_line_to(cr, 76, 92);
    cairo_line_to(cr, 26, 92);
    cairo_close_path(cr);
    cairo_fill(cr);
    SetColour(cr, s.bg);
    for (int k = 0; k < 4; ++k) cairo_rectangle(cr, 33 + k * 10, 14, 6, 16);
    cairo_fill(cr);
    SetColour(cr, s.accent);
    cairo_rectangle(cr, 32, 50, 38, 30);
    cairo_fill(cr);
}

void IconRoute(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    cairo_move_to(cr, 20, 82);
    cairo_curve_to(cr, 20, 48, 80, 58, 80, 22);
    cairo_set_line_width(cr, 9);
    cairo_set_dash(cr, nullptr, 0, 0);
    cairo_stroke(cr);
    Disc(cr, 20, 82, 11);
    SetColour(cr, s.accent);
    Disc(cr, 80, 20, 12);
}

void IconWarning(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.accent);
    cairo_move_to(cr, 50, 8);
    cairo_line_to(cr, 94, 88);
    cairo_line_to(cr, 6, 88);
    cairo_close_path(cr);
    cairo_set_line_width(cr, 6);
    cairo_stroke_preserve(cr);
    cairo_fill(cr);
    SetColour(cr, s.bg);
    RoundRect(cr, 45, 34, 10, 32, 4);
    cairo_fill(cr);
    Disc(cr, 50, 76, 6);
}

void IconClock(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 50, 50, 38, 0, 2 * M_PI);
    cairo_set_line_width(cr, 9);
    cairo_stroke(cr);
    SetColour(cr, s.accent);
    Line(cr, {{50, 26}, {50, 50}, {68, 60}}, 8);
}

void IconStopwatch(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 50, 56, 34, 0, 2 * M_PI);
    cairo_set_line_width(cr, 9);
    cairo_stroke(cr);
    RoundRect(cr, 40, 6, 20, 10, 3);
    cairo_fill(cr);
    Line(cr, {{50, 16}, {50, 22}}, 7);
    SetColour(cr, s.accent);
    Line(cr, {{50, 56}, {64, 40}}, 8);
}

void IconPin(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 50, 38, 28, M_PI * 0.82, M_PI * 2.18);
    cairo_line_to(cr, 50, 94);
    cairo_close_path(cr);
    cairo_fill(cr);
    SetColour(cr, s.bg);
    Disc(cr, 50, 38, 11);
}

void IconCamera(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    RoundRect(cr, 8, 28, 84, 56, 9);
    cairo_fill(cr);
    RoundRect(cr, 32, 16, 36, 18, 5);
    cairo_fill(cr);
    SetColour(cr, s.bg);
    Disc(cr, 50, 56, 21);
    SetColour(cr, s.fg);
    Disc(cr, 50, 56, 12);
    SetColour(cr, s.accent);
    Disc(cr, 80, 38, 5);
}

void IconShield(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    cairo_move_to(cr, 50, 6);
    cairo_line_to(cr, 88, 20);
    cairo_curve_to(cr, 88, 58, 74, 80, 50, 95);
    cairo_curve_to(cr, 26, 80, 12, 58, 12, 20);
    cairo_close_path(cr);
    cairo_fill(cr);
    SetColour(cr, s.accent);
    Line(cr, {{30, 50}, {45, 65}, {71, 36}}, 10);
}

void IconCrossBadge(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.accent);
    Disc(cr, 50, 50, 44);
    SetColour(cr, s.fg);
    Line(cr, {{34, 34}, {66, 66}}, 11);
    Line(cr, {{66, 34}, {34, 66}}, 11);
}

void IconCheckBadge(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.accent);
    Disc(cr, 50, 50, 44);
    SetColour(cr, s.fg);
    Line(cr, {{30, 52}, {44, 66}, {71, 36}}, 11);
}

void IconInfo(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.accent);
    Disc(cr, 50, 50, 44);
    SetColour(cr, s.fg);
    Disc(cr, 50, 28, 7);
    RoundRect(cr, 43, 42, 14, 36, 4);
    cairo_fill(cr);
}

void IconQuestion(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.accent);
    Disc(cr, 50, 50, 44);
    SetColour(cr, s.fg);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 50, 38, 14, M_PI, 2.35 * M_PI);
    cairo_line_to(cr, 50, 58);
    cairo_set_line_width(cr, 10);
    cairo_stroke(cr);
    Disc(cr, 50, 75, 6.5);
}

void IconEnvelope(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    RoundRect(cr, 8, 22, 84, 58, 6);
    cairo_fill(cr);
    SetColour(cr, s.bg);
    Line(cr, {{14, 30}, {50, 58}, {86, 30}}, 7);
    SetColour(cr, s.accent);
    Disc(cr, 84, 24, 13);
}

void IconRecord(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.accent);
    Disc(cr, 50, 50, 30);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 50, 50, 43, 0, 2 * M_PI);
    cairo_set_line_width(cr, 6);
    cairo_stroke(cr);
}

void IconGauge(cairo_t* cr, const IconStyle& s)
{
    SetColour(cr, s.fg);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 50, 62, 38, M_PI, 2 * M_PI);
    cairo_set_line_width(cr, 10);
    cairo_stroke(cr);
    SetColour(cr, s.accent);
    Line(cr, {{50, 62}, {74, 38}}, 9);
    Disc(cr, 50, 62, 9);
}

}  // namespace skin
