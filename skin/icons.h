// The skin's symbols, each drawn into a square of `size` pixels centred on
// (cx, cy): bold shapes that stay readable at 20 pixels. `fg` is the
// symbol, `accent` its signal part (a slash, a level), `bg` the surface
// beneath it, used to cut gaps into the symbol.
#pragma once

#include "skin/paint.h"

namespace skin {

struct IconStyle {
    Rgb fg;
    Rgb bg;
    Rgb accent;
    bool off = false;  // the function is off: the symbol is struck through
    int level = 0;     // symbols with degrees: waves of the GPS signal, battery cell
};

using IconFn = void (*)(cairo_t* cr, const IconStyle& style);

// Sets up the 100 x 100 unit square of a symbol, draws it, and restores.
void DrawIcon(cairo_t* cr, IconFn icon, double cx, double cy, double size, const IconStyle& style);

void IconSpeaker(cairo_t* cr, const IconStyle& s);
void IconMicrophone(cairo_t* cr, const IconStyle& s);
void IconGear(cairo_t* cr, const IconStyle& s);
void IconPower(cairo_t* cr, const IconStyle& s);
void IconPlus(cairo_t* cr, const IconStyle& s);
void IconMinus(cairo_t* cr, const IconStyle& s);
void IconCheck(cairo_t* cr, const IconStyle& s);
void IconCross(cairo_t* cr, const IconStyle& s);
void IconSun(cairo_t* cr, const IconStyle& s);
void IconMagnifier(cairo_t* cr, const IconStyle& s);
void IconSatellite(cairo_t* cr, const IconStyle& s);  // level: 0 to 2 signal waves
void IconBattery(cairo_t* cr, const IconStyle& s);    // level: the battery cell, 0 (external power) to 4
void IconChip(cairo_t* cr, const IconStyle& s);
void IconCard(cairo_t* cr, const IconStyle& s);
void IconRoute(cairo_t* cr, const IconStyle& s);
void IconWarning(cairo_t* cr, const IconStyle& s);
void IconClock(cairo_t* cr, const IconStyle& s);
void IconStopwatch(cairo_t* cr, const IconStyle& s);
void IconPin(cairo_t* cr, const IconStyle& s);
void IconCamera(cairo_t* cr, const IconStyle& s);
void IconShield(cairo_t* cr, const IconStyle& s);
void IconCrossBadge(cairo_t* cr, const IconStyle& s);
void IconCheckBadge(cairo_t* cr, const IconStyle& s);
void IconInfo(cairo_t* cr, const IconStyle& s);
void IconQuestion(cairo_t* cr, const IconStyle& s);
void IconEnvelope(cairo_t* cr, const IconStyle& s);
void IconRecord(cairo_t* cr, const IconStyle& s);
void IconGauge(cairo_t* cr, const IconStyle& s);

}  // namespace skin
