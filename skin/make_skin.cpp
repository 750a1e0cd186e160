// Makes the program's skin: every image the screens are drawn from, for each
// screen size the skin is made for, into "<folder>/<W>x<H>/<subfolder>/"
// below the folder given as the only argument. Run at build time; the same
// build always makes the same bytes. Exits 1 naming the first folder or
// image that could not be written, or when DejaVu Sans Bold is missing; 2
// without the folder argument.
//
// 800 x 480 is the layout the toolbar's places are fixed for; every other
// size is drawn from the same design scaled: lengths across by width / 800,
// lengths down by height / 480, symbols and characters by one factor that
// keeps them square (kScales). Full-screen pictures and the top and bottom
// bars always span the whole width. Popups are scaled only as far as the
// screen needs, so their text stays readable.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <fontconfig/fontconfig.h>

#include "skin/font_strips.h"
#include "skin/icons.h"
#include "skin/image_cells.h"
#include "skin/image_writers.h"
#include "skin/paint.h"

namespace skin {

namespace {

struct Scale {
    double across;
    double down;
    double symbol;
};

constexpr Scale kScales[kScreenSizeCount] = {
    {1.0, 1.0, 1.0},        // 800 x 480
    {0.4, 2.0 / 3, 0.5},    // 320 x 320
    {0.5, 0.5, 0.5},        // 400 x 240
    {0.8, 1.0, 0.8},        // 640 x 480
    {0.6, 0.6, 0.6},        // 480 x 800: the landscape design at 0.6, the rest of the height for the picture
};

constexpr Rgb kTopBar = Hex(0x111820);
constexpr Rgb kTopBarTop = Hex(0x17202a);
constexpr Rgb kTopBarBottom = Hex(0x0c1117);
constexpr double kTopBarAlpha = 0.94;

// The top bar's colour where it lies over black (the picture's backdrop).
Rgb TopBarOverBlack(Rgb c)
{
    return {c.r * kTopBarAlpha, c.g * kTopBarAlpha, c.b * kTopBarAlpha};
}
constexpr Rgb kWell = Hex(0x0b1015);
constexpr Rgb kPictureBack = Hex(0x04070a);

enum class Look { Normal, Pressed, Disabled, OffNormal, PressedOn, PressedOff };

struct ButtonSet {
    const char* folder;
    const char* name;  // the file name before the look's suffix
    IconFn icon;
    bool toggle;
};

class SkinMaker {
public:
    SkinMaker(const std::string& root, int sizeIndex)
        : index_(sizeIndex),
          width_(kScreenSizes[sizeIndex].width),
          height_(kScreenSizes[sizeIndex].height),
          scale_(kScales[sizeIndex]),
          popup_(std::min({1.0, (width_ - 16) / 400.0, (height_ - 16) / 200.0})),
          folder_(root + "/" + std::to_string(width_) + "x" + std::to_string(height_))
    {
    }

    bool Make(std::string* error);

private:
    int X(double v) const { return std::max(1, static_cast<int>(std::lround(v * scale_.across))); }
    int Y(double v) const { return std::max(1, static_cast<int>(std::lround(v * scale_.down))); }
    int G(double v) const { return std::max(1, static_cast<int>(std::lround(v * scale_.symbol))); }
    int P(double v) const { return std::max(1, static_cast<int>(std::lround(v * popup_))); }
    // A text size for labels: scaled, but never below what a screen shows legibly.
    double Label(double v) const { return std::max(9.0, v * scale_.symbol); }

    void Save(const Canvas& canvas, const char* subfolder, const std::string& name);

    void Backgrounds();
    void IdleBackground(int w, int h, const char* name);
    void Logo();
    void Bars();
    void Panels();
    void Popups();
    void Buttons();
    void StatusIcons();
    void Controls();
    void Strips();
    void Strip(const FontStrip& strip, Rgb ink, bool opaque, Rgb back);
    void DrawButton(const Canvas& canvas, Look look, IconFn icon, Rgb surround, const char* label);

    int index_;
    int width_;
    int height_;
    Scale scale_;
    double popup_;
    std::string folder_;
    bool failed_ = false;
    std::string error_;
};

bool SkinMaker::Make(std::string* error)
{
    for (const char* sub : {"01_common", "02_menu", "03_common", "03_icon", "04_contents", "05_font"}) {
        std::error_code ec;
        std::filesystem::create_directories(folder_ + "/" + sub, ec);
        if (ec) {
            *error = folder_ + "/" + sub + ": " + ec.message();
            return false;
        }
    }
    Backgrounds();
    Logo();
    Bars();
    Panels();
    Popups();
    Buttons();
    StatusIcons();
    Controls();
    Strips();
    if (failed_) *error = error_;
    return !failed_;
}

void SkinMaker::Save(const Canvas& canvas, const char* subfolder, const std::string& name)
{
    if (failed_) return;
    const std::string path = folder_ + "/" + subfolder + "/" + name;
    const std::string ext = name.substr(name.size() - 4);
    bool ok = false;
    if (ext == ".png") ok = WritePng(canvas.Surface(), path, &error_);
    else if (ext == ".jpg") ok = WriteJpeg(canvas.Surface(), path, 92, &error_);
    else if (ext == ".gif") ok = WriteGif(canvas.Surface(), path, &error_);
    else error_ = path + ": no writer for this kind of file";
    failed_ = !ok;
}

// The program's mark: a lens ring around the red record light.
void DrawMark(cairo_t* cr, double cx, double cy, double r)
{
    SetColour(cr, colour::kCyan);
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, r * 0.86, 0, 2 * M_PI);
    cairo_set_line_width(cr, r * 0.16);
    cairo_stroke(cr);
    SetColour(cr, colour::kBorder);
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, r * 0.6, 0, 2 * M_PI);
    cairo_set_line_width(cr, r * 0.08);
    cairo_stroke(cr);
    SetColour(cr, colour::kRed);
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, r * 0.36, 0, 2 * M_PI);
    cairo_fill(cr);
}

void SkinMaker::Backgrounds()
{
    Canvas bg(width_, height_, false);
    cairo_t* cr = bg.Cr();
    cairo_rectangle(cr, 0, 0, width_, height_);
    FillVertical(cr, 0, height_, Hex(0x0d1319), Hex(0x06090c));
    cairo_new_path(cr);
    const int column = X(126);
    cairo_rectangle(cr, 0, 0, column, height_);
    SetColour(cr, colour::kColumn);
    cairo_fill(cr);
    cairo_rectangle(cr, column - 1, 0, 1, height_);
    SetColour(cr, Hex(0x223040));
    cairo_fill(cr);
    Save(bg, "01_common", "background.png");

    const int shortSide = std::min(width_, height_);
    const int longSide = std::max(width_, height_);
    IdleBackground(shortSide, longSide, "IdleBg.png");
    IdleBackground(longSide, shortSide, "IdleBg_Lands.png");
}

void SkinMaker::IdleBackground(int w, int h, const char* name)
{
    Canvas idle(w, h, false);
    cairo_t* cr = idle.Cr();
    cairo_pattern_t* glow = cairo_pattern_create_radial(w / 2.0, h * 0.42, 0, w / 2.0, h * 0.42, std::max(w, h) * 0.7);
    cairo_pattern_add_color_stop_rgb(glow, 0, 0.07, 0.11, 0.15);
    cairo_pattern_add_color_stop_rgb(glow, 1, 0.01, 0.015, 0.02);
    cairo_set_source(cr, glow);
    cairo_paint(cr);
    cairo_pattern_destroy(glow);
    const double unit = std::min(w, h) / 480.0;
    DrawMark(cr, w / 2.0, h * 0.42, 70 * unit);
    Text(cr, "Ardvane", w / 2.0, h * 0.42 + 120 * unit, 52 * unit, colour::kText, Align::Centre);
    Text(cr, "EVENT DATA RECORDER", w / 2.0, h * 0.42 + 168 * unit, 16 * unit, colour::kCyan, Align::Centre);
    Text(cr, "HOLMBREK", w / 2.0, h - 28 * unit, 14 * unit, colour::kMuted, Align::Centre);
    Save(idle, "01_common", name);
}

void SkinMaker::Logo()
{
    Canvas logo(G(480), G(160), false);
    cairo_t* cr = logo.Cr();
    FillAll(cr, colour::kBlack);
    DrawMark(cr, G(80), G(80), G(60));
    Text(cr, "Ardvane", G(160), G(68), G(66), colour::kText, Align::Left);
    Text(cr, "EVENT DATA RECORDER", G(164), G(124), G(19), colour::kCyan, Align::Left);
    Save(logo, "01_common", "ardvane3.png");

    // Drawn over the top bar's own gradient at its place 7 pixels down.
    Canvas ci(G(160), G(40), false);
    cr = ci.Cr();
    cairo_rectangle(cr, 0, 0, G(160), G(40));
    FillVertical(cr, -G(7), Y(55) - G(7), TopBarOverBlack(kTopBarTop), TopBarOverBlack(kTopBarBottom));
    cairo_new_path(cr);
    SetColour(cr, colour::kAmber);
    for (int i = 0; i < 2; ++i) {
        const double x = G(6) + i * G(11);
        cairo_move_to(cr, x, G(8));
        cairo_line_to(cr, x + G(7), G(8));
        cairo_line_to(cr, x + G(15), G(20));
        cairo_line_to(cr, x + G(7), G(32));
        cairo_line_to(cr, x, G(32));
        cairo_line_to(cr, x + G(8), G(20));
        cairo_close_path(cr);
    }
    cairo_fill(cr);
    Text(cr, "HOLMBREK", G(36), G(20), FitText(cr, "HOLMBREK", G(22), G(120)), colour::kText, Align::Left);
    Save(ci, "03_icon", "CI-holmbrek4.gif");
}

void SkinMaker::Bars()
{
    Canvas top(width_, Y(55), true);
    cairo_t* cr = top.Cr();
    cairo_rectangle(cr, 0, 0, width_, Y(55));
    FillVertical(cr, 0, Y(55), kTopBarTop, kTopBarBottom, kTopBarAlpha);
    cairo_new_path(cr);
    cairo_rectangle(cr, 0, Y(55) - 1, width_, 1);
    SetColour(cr, colour::kBorder);
    cairo_fill(cr);
    Save(top, "01_common", "top.png");

    for (bool recording : {false, true}) {
        const int h = Y(53);
        Canvas bar(width_, h, false);
        cr = bar.Cr();
        cairo_rectangle(cr, 0, 0, width_, h);
        FillVertical(cr, 0, h, Hex(0x141c25), Hex(0x0a0f14));
        cairo_new_path(cr);
        cairo_rectangle(cr, 0, 0, width_, std::max(2, G(3)));
        SetColour(cr, recording ? colour::kRed : colour::kBorder);
        cairo_fill(cr);
        const IconStyle style{colour::kText, Hex(0x10161d), recording ? colour::kRed : colour::kCyan};
        DrawIcon(cr, recording ? IconRecord : IconClock, X(150), h / 2.0, G(34), style);
        Text(cr, "SHOCK SENSITIVITY", X(643), h / 2.0, FitText(cr, "SHOCK SENSITIVITY", Label(15), X(300)),
             colour::kMuted, Align::Centre);
        Save(bar, "01_common", recording ? "bar_rectime_video.jpg" : "bar_rectime.jpg");
    }
}

void SkinMaker::Panels()
{
    // The information panel: four rows (start time, elapsed time, distance,
    // position), a symbol at the left of each, the text to its right.
    {
        const int w = P(380);
        const int h = P(200);
        Canvas info(w, h, false);
        cairo_t* cr = info.Cr();
        FillAll(cr, colour::kPanel);
        cairo_rectangle(cr, 1, 1, w - 2, h - 2);
        SetColour(cr, colour::kCyan);
        cairo_set_line_width(cr, 2);
        cairo_stroke(cr);
        const IconFn icons[4] = {IconClock, IconStopwatch, IconRoute, IconPin};
        for (int row = 0; row < 4; ++row) {
            const double top = P(10) + row * P(45);
            if (row > 0) {
                cairo_rectangle(cr, P(10), top, w - 2 * P(10), 1);
                SetColour(cr, colour::kBorder);
                cairo_fill(cr);
            }
            DrawIcon(cr, icons[row], P(30), top + P(45) / 2.0, P(30), {colour::kText, colour::kPanel, colour::kCyan});
        }
        Save(info, "01_common", "box_contents.jpg");
    }
    // The right-hand panel below the top bar: the speed box lies over its
    // top; below it a distance row and an events row, each a symbol, a
    // label and room for numbers.
    {
        const int w = X(266);
        const int h = Y(301);
        Canvas panel(w, h, true);
        cairo_t* cr = panel.Cr();
        RoundRect(cr, 1, 1, w - 2, h - 2, G(12));
        FillVertical(cr, 0, h, Hex(0x18212b), Hex(0x0f151b), 0.92);
        SetColour(cr, colour::kBorder);
        cairo_set_line_width(cr, std::max(1, G(2)));
        cairo_stroke(cr);
        const char* labels[2] = {"DISTANCE", "EVENTS"};
        const IconFn icons[2] = {IconRoute, IconWarning};
        for (int row = 0; row < 2; ++row) {
            const double top = Y(170) + row * Y(66);
            cairo_rectangle(cr, X(12), top - Y(4), w - 2 * X(12), 1);
            SetColour(cr, colour::kBorder);
            cairo_fill(cr);
            DrawIcon(cr, icons[row], X(32), top + Y(30), std::min(X(36), Y(36)),
                     {colour::kText, Hex(0x131a21), row == 0 ? colour::kCyan : colour::kAmber});
            Text(cr, labels[row], X(60), top + Y(10), Label(13), colour::kMuted, Align::Left);
        }
        Save(panel, "01_common", "box_contents04_lite.png");
    }
    // The speed box: digits across its upper part, the unit at its foot.
    {
        const int w = X(246);
        const int h = Y(150);
        Canvas box(w, h, true);
        cairo_t* cr = box.Cr();
        RoundRect(cr, 1, 1, w - 2, h - 2, G(10));
        FillVertical(cr, 0, h, Hex(0x1f2a35), Hex(0x10161c), 0.96);
        SetColour(cr, colour::kCyan, 0.8);
        cairo_set_line_width(cr, std::max(1, G(2)));
        cairo_stroke(cr);
        if (scale_.symbol >= 0.75) Text(cr, "SPEED", G(12), G(12), Label(12), colour::kMuted, Align::Left);
        Text(cr, "km/h", w - X(12), h - Y(18), FitText(cr, "km/h", Label(22), w / 3.0), colour::kText, Align::Right);
        Save(box, "03_common", "box_lite_speed.png");
    }
    // The picture area before the first frame: a dark viewfinder.
    {
        const int w = X(408);
        const int h = Y(372);
        Canvas back(w, h, false);
        cairo_t* cr = back.Cr();
        FillAll(cr, kPictureBack);
        const double inset = G(12);
        const double arm = G(36);
        SetColour(cr, Hex(0x3a4856));
        cairo_set_line_width(cr, std::max(2, G(4)));
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
        for (int corner = 0; corner < 4; ++corner) {
            const double x = corner % 2 == 0 ? inset : w - inset;
            const double y = corner < 2 ? inset : h - inset;
            const double dx = corner % 2 == 0 ? arm : -arm;
            const double dy = corner < 2 ? arm : -arm;
            cairo_move_to(cr, x + dx, y);
            cairo_line_to(cr, x, y);
            cairo_line_to(cr, x, y + dy);
            cairo_stroke(cr);
        }
        DrawIcon(cr, IconCamera, w / 2.0, h / 2.0, G(96), {Hex(0x1c2631), kPictureBack, Hex(0x4a1c1c)});
        Save(back, "01_common", "box_contents_video.gif");
    }
    // "Event saved": a red tag over the picture.
    {
        const int w = G(300);
        const int h = G(90);
        Canvas tag(w, h, true);
        cairo_t* cr = tag.Cr();
        RoundRect(cr, G(2), G(2), w - 2 * G(2), h - 2 * G(2), G(14));
        SetColour(cr, colour::kDeepRed, 0.93);
        cairo_fill_preserve(cr);
        SetColour(cr, colour::kWhite);
        cairo_set_line_width(cr, std::max(2, G(3)));
        cairo_stroke(cr);
        DrawIcon(cr, IconShield, G(48), h / 2.0, G(58), {colour::kWhite, colour::kDeepRed, colour::kDeepRed});
        Text(cr, "EVENT SAVED", G(86), h / 2.0, FitText(cr, "EVENT SAVED", G(30), w - G(100)), colour::kWhite,
             Align::Left);
        Save(tag, "04_contents", "saveevent04.png");
    }
}

void SkinMaker::Popups()
{
    struct PopupKind {
        const char* name;
        IconFn icon;
        Rgb accent;
        bool buttons;
    };
    const PopupKind kinds[] = {
        {"box_popup01.png", IconInfo, colour::kCyan, false},
        {"box_popup02.png", IconQuestion, colour::kCyan, true},
        {"box_popup02_03.png", IconWarning, colour::kAmber, true},
        {"box_popup03.png", IconCrossBadge, colour::kRed, false},
        {"box_popup_new.png", IconCheckBadge, colour::kGreen, false},
        {"box_popup_sms.png", IconEnvelope, colour::kRed, true},
    };
    const int w = P(400);
    const int h = P(200);
    for (const PopupKind& kind : kinds) {
        Canvas box(w, h, true);
        cairo_t* cr = box.Cr();
        const double edge = P(3);
        RoundRect(cr, edge, edge, w - 2 * edge, h - 2 * edge, P(14));
        FillVertical(cr, 0, h, colour::kPanelLight, colour::kPanel, 1.0);
        cairo_save(cr);
        cairo_clip_preserve(cr);
        cairo_new_path(cr);
        cairo_rectangle(cr, 0, 0, w, P(10));
        SetColour(cr, kind.accent);
        cairo_fill(cr);
        if (kind.buttons) {
            cairo_rectangle(cr, 0, h - P(84), w, P(84));
            SetColour(cr, kWell);
            cairo_fill(cr);
            cairo_rectangle(cr, 0, h - P(84), w, 1);
            SetColour(cr, colour::kBorder);
            cairo_fill(cr);
        }
        cairo_restore(cr);
        RoundRect(cr, edge, edge, w - 2 * edge, h - 2 * edge, P(14));
        SetColour(cr, kind.accent);
        cairo_set_line_width(cr, std::max(2, P(3)));
        cairo_stroke(cr);
        IconStyle style{colour::kWhite, colour::kPanelLight, kind.accent};
        if (kind.icon == IconWarning) style.bg = colour::kInk;
        if (kind.icon == IconEnvelope) style.bg = colour::kPanelLight;
        DrawIcon(cr, kind.icon, P(52), kind.buttons ? P(62) : h / 2.0, P(60), style);
        Save(box, "01_common", kind.name);
    }

    struct PopupButton {
        const char* name;
        IconFn icon;
        const char* label;
    };
    const PopupButton buttons[] = {
        {"btn_confirm", IconCheck, "OK"},
        {"btn_cancel1", IconCross, "CANCEL"},
        {"btn_yes", IconCheck, "YES"},
        {"btn_no", IconCross, "NO"},
    };
    for (const PopupButton& button : buttons) {
        for (const auto& [look, suffix] : {std::pair{Look::Normal, "_n"}, std::pair{Look::Pressed, "_c"},
                                           std::pair{Look::Disabled, "_d"}}) {
            Canvas canvas(P(150), P(50), false);
            DrawButton(canvas, look, button.icon, kWell, button.label);
            Save(canvas, "01_common", std::string(button.name) + suffix + ".png");
        }
    }
}

// One look of a button, drawn over the colour it stands on so that it can
// be copied without transparency: a rounded tile with a symbol (and a
// label). Normal: dark tile, white symbol. Pressed: bright tile, dark
// symbol. Disabled: flat grey, grey symbol. A toggle's "off" looks strike
// the symbol through.
void SkinMaker::DrawButton(const Canvas& canvas, Look look, IconFn icon, Rgb surround, const char* label)
{
    cairo_t* cr = canvas.Cr();
    const double w = canvas.Width();
    const double h = canvas.Height();
    FillAll(cr, surround);
    const bool pressed = look == Look::Pressed || look == Look::PressedOn || look == Look::PressedOff;
    const bool disabled = look == Look::Disabled;
    const bool off = look == Look::OffNormal || look == Look::PressedOff;
    const double margin = std::max(2.0, std::round(std::min(w, h) * 0.06));
    const double radius = std::min(w, h) * 0.18;
    const double border = std::max(1.5, std::min(w, h) * 0.03);
    RoundRect(cr, margin, margin, w - 2 * margin, h - 2 * margin, radius);
    Rgb tile;
    IconStyle style{};
    if (disabled) {
        SetColour(cr, colour::kDisabledFill);
        cairo_fill_preserve(cr);
        SetColour(cr, colour::kDisabledBorder);
        tile = colour::kDisabledFill;
        style = {colour::kDisabledSymbol, tile, colour::kDisabledSymbol, off};
    } else if (pressed) {
        FillVertical(cr, margin, h - margin, colour::kCyanBright, colour::kCyanDeep);
        SetColour(cr, colour::kWhite);
        tile = Hex(0x4cc3f5);
        style = {colour::kInk, tile, Hex(0x9b0016), off};
    } else {
        FillVertical(cr, margin, h - margin, Hex(0x2b3846), Hex(0x141b23));
        SetColour(cr, Hex(0x5a7086));
        tile = Hex(0x202a35);
        style = {off ? Hex(0xc9d1d9) : colour::kText, tile, colour::kRed, off};
    }
    cairo_set_line_width(cr, border);
    cairo_stroke(cr);
    if (!pressed && !disabled) {
        cairo_rectangle(cr, margin + radius, margin + border + 1, w - 2 * (margin + radius), 1);
        SetColour(cr, colour::kWhite, 0.12);
        cairo_fill(cr);
    }
    if (label == nullptr) {
        DrawIcon(cr, icon, w / 2, h / 2, std::min(w, h) * 0.58, style);
        return;
    }
    const double iconSize = h * 0.5;
    const double iconX = margin + h * 0.5;
    Rgb iconColour = style.fg;
    if (!pressed && !disabled) iconColour = icon == IconCheck ? colour::kGreen : colour::kRed;
    DrawIcon(cr, icon, iconX, h / 2, iconSize, {iconColour, tile, style.accent});
    const double textLeft = iconX + iconSize * 0.6;
    const double room = w - margin - textLeft - h * 0.15;
    Text(cr, label, textLeft + room / 2, h / 2, FitText(cr, label, h * 0.36, room), style.fg, Align::Centre);
}

void SkinMaker::Buttons()
{
    const ButtonSet side[] = {
        {"02_menu", "btn_cancel", IconCross, false},
        {"02_menu", "btn_liteexit", IconPower, false},
        {"02_menu", "btn_litesetting", IconGear, false},
        {"02_menu", "btn_litemic", IconMicrophone, true},
        {"02_menu", "btn_litespeaker", IconSpeaker, true},
        {"04_contents", "btn_minus", IconMinus, false},
        {"04_contents", "btn_plus", IconPlus, false},
    };
    for (const ButtonSet& set : side) {
        const bool level = std::string(set.folder) == "04_contents";
        const int w = level ? X(93) : X(126);
        const int h = level ? Y(71) : Y(90);
        const Rgb surround = level ? colour::kPanel : colour::kColumn;
        std::vector<std::pair<Look, const char*>> looks = {
            {Look::Normal, "_n"}, {Look::Pressed, "_c"}, {Look::Disabled, "_d"}};
        if (set.toggle) {
            looks = {{Look::Normal, "_n"},    {Look::PressedOn, "_c1"},  {Look::Disabled, "_d"},
                     {Look::OffNormal, "_s"}, {Look::PressedOff, "_c2"}};
        }
        for (const auto& [look, suffix] : looks) {
            Canvas canvas(w, h, false);
            DrawButton(canvas, look, set.icon, surround, nullptr);
            Save(canvas, set.folder, std::string(set.name) + suffix + ".png");
        }
    }
}

void SkinMaker::StatusIcons()
{
    const ImageCells& cells = kImageCells[index_];
    {
        const CellSize cell = cells.battery;
        Canvas battery(cell.width * kBatteryCells, cell.height, true);
        for (int i = 0; i < kBatteryCells; ++i) {
            const double size = std::min(cell.width / 0.95, cell.height / 0.5) * 0.96;
            DrawIcon(battery.Cr(), IconBattery, cell.width * (i + 0.5), cell.height / 2.0, size,
                     {colour::kText, kTopBar, colour::kGreen, false, i});
        }
        Save(battery, "03_icon", "battery.png");
    }
    {
        const CellSize cell = cells.gps;
        Canvas gps(cell.width * kGpsCells, cell.height, true);
        for (int state = 1; state <= kGpsCells; ++state) {
            const int left = cell.width * (kGpsCells - state);
            IconStyle style{colour::kGreen, kTopBar, colour::kGreen, false, 2};
            if (state == 3) style = {colour::kLime, kTopBar, colour::kLime, false, 1};
            if (state == 2) style = {colour::kAmber, kTopBar, colour::kAmber, false, 0};
            if (state == 1) style = {colour::kMuted, kTopBar, colour::kRed, true, 0};
            // The symbol fills the unit square's band from y 14 to 84.
            DrawIcon(gps.Cr(), IconSatellite, left + cell.width / 2.0, cell.height / 2.0 + cell.height * 0.02,
                     std::min(cell.width * 0.98, cell.height / 0.72), style);
        }
        Save(gps, "03_icon", "icon_gps.png");
    }
    {
        const CellSize cell = cells.memory;
        Canvas memory(cell.width * kMemoryCells, cell.height, true);
        const double size = std::min(cell.width, cell.height) * 0.95;
        DrawIcon(memory.Cr(), IconChip, cell.width / 2.0, cell.height / 2.0, size,
                 {colour::kText, kTopBar, colour::kAmber});
        DrawIcon(memory.Cr(), IconCard, cell.width * 1.5, cell.height / 2.0, size,
                 {colour::kText, kTopBar, colour::kCyan});
        Save(memory, "03_icon", "memory.png");
    }
    {
        const int h = cells.onAirHeight;
        Canvas onAir(kOnAirCellWidth * kOnAirCells, h, true);
        cairo_t* cr = onAir.Cr();
        const double r = std::min(kOnAirCellWidth, h) * 0.5;
        const double cy = h / 2.0;
        for (int cell = 0; cell < kOnAirCells; ++cell) {
            const double cx = kOnAirCellWidth * (cell + 0.5);
            if (cell == 0) {
                SetColour(cr, colour::kRed, 0.35);
                cairo_arc(cr, cx, cy, r * 0.95, 0, 2 * M_PI);
                cairo_fill(cr);
            }
            const Rgb light = cell == 0 ? colour::kRed : cell == 1 ? Hex(0x6e1a16) : Hex(0x3a444e);
            SetColour(cr, light);
            cairo_arc(cr, cx, cy, r * 0.62, 0, 2 * M_PI);
            cairo_fill(cr);
            SetColour(cr, cell == 0 ? colour::kWhite : colour::kMuted, cell == 0 ? 0.9 : 0.6);
            cairo_arc(cr, cx, cy, r * 0.62, 0, 2 * M_PI);
            cairo_set_line_width(cr, std::max(1.5, r * 0.12));
            cairo_stroke(cr);
        }
        Save(onAir, "03_icon", "on_air.png");
    }
    {
        const int length = cells.gaugeLength;
        const int row = cells.gaugeRowHeight;
        Canvas gauge(length, row * kGaugeRows, true);
        cairo_t* cr = gauge.Cr();
        const Rgb fills[kGaugeRows] = {Hex(0x18212a), colour::kGreen, colour::kAmber, colour::kRed};
        for (int r = 0; r < kGaugeRows; ++r) {
            const double top = r * row;
            cairo_rectangle(cr, 0, top, length, row);
            FillVertical(cr, top, top + row, fills[r], fills[r], 1.0);
            cairo_new_path(cr);
            cairo_rectangle(cr, 0, top, length, row / 2.0);
            SetColour(cr, colour::kWhite, r == 0 ? 0.03 : 0.22);
            cairo_fill(cr);
            for (int tick = 1; tick < 10; ++tick) {
                cairo_rectangle(cr, std::floor(length * tick / 10.0), top, 1, row);
            }
            SetColour(cr, colour::kBlack, r == 0 ? 0.6 : 0.35);
            cairo_fill(cr);
            if (r == 0) {
                cairo_rectangle(cr, 0.5, top + 0.5, length - 1, row - 1);
                SetColour(cr, colour::kBorder);
                cairo_set_line_width(cr, 1);
                cairo_stroke(cr);
            }
        }
        Save(gauge, "03_icon", "memory_lite_re2.png");
    }
}

void SkinMaker::Controls()
{
    // The rail of the sensitivity control: the minus and plus buttons lie
    // over its ends, the level's digit in the well between them.
    {
        const int w = X(313);
        const int h = Y(71);
        Canvas rail(w, h, false);
        cairo_t* cr = rail.Cr();
        FillAll(cr, Hex(0x080b0f));
        RoundRect(cr, 1, 1, w - 2, h - 2, std::min(w, h) * 0.2);
        SetColour(cr, colour::kPanel);
        cairo_fill_preserve(cr);
        SetColour(cr, colour::kBorder);
        cairo_set_line_width(cr, 1.5);
        cairo_stroke(cr);
        const double wellLeft = X(93) + X(4);
        const double wellWidth = X(127) - 2 * X(4);
        RoundRect(cr, wellLeft, Y(5), wellWidth, h - 2 * Y(5), G(8));
        SetColour(cr, kWell);
        cairo_fill_preserve(cr);
        SetColour(cr, colour::kAmber, 0.7);
        cairo_set_line_width(cr, std::max(1, G(2)));
        cairo_stroke(cr);
        Save(rail, "04_contents", "bar_control_bg.gif");
    }
    for (const auto& [name, icon] : {std::pair<const char*, IconFn>{"btn_brightness.gif", IconSun},
                                     std::pair<const char*, IconFn>{"btn_zoom.gif", IconMagnifier}}) {
        Canvas button(X(93), Y(71), false);
        DrawButton(button, Look::Normal, icon, colour::kPanel, nullptr);
        Save(button, "04_contents", name);
    }
}

// One character strip: each character centred in its cell on a common
// baseline, the digits as large as the cell allows; wider characters are
// narrowed to their cell. With transparency the characters get a dark
// outline so that they read over the moving picture.
void SkinMaker::Strip(const FontStrip& strip, Rgb ink, bool opaque, Rgb back)
{
    const CellSize cell = strip.cell[index_];
    const int count = CellCount(strip);
    Canvas canvas(cell.width * count, cell.height, !opaque);
    cairo_t* cr = canvas.Cr();
    if (opaque) FillAll(cr, back);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 100);
    cairo_text_extents_t digit;
    cairo_text_extents(cr, "0", &digit);
    const double outline = opaque ? 0 : std::max(1.0, cell.height * 0.06);
    double size = (cell.height - 2 * outline) * 0.8 * 100 / digit.height;
    size = std::min(size, (cell.width - 2 * outline) * 0.9 * 100 / digit.width);
    cairo_set_font_size(cr, size);
    const double digitHeight = digit.height * size / 100;
    const double baseline = std::round((cell.height + digitHeight) / 2);
    for (int i = 0; i < count; ++i) {
        const char text[2] = {strip.chars[i], '\0'};
        if (text[0] == ' ') continue;
        cairo_text_extents_t ext;
        cairo_text_extents(cr, text, &ext);
        const double room = cell.width - 2 * outline - 1;
        const double narrow = ext.width > room ? room / ext.width : 1.0;
        cairo_save(cr);
        cairo_translate(cr, i * cell.width + cell.width / 2.0 - (ext.x_bearing + ext.width / 2) * narrow, baseline);
        cairo_scale(cr, narrow, 1);
        cairo_move_to(cr, 0, 0);
        cairo_text_path(cr, text);
        cairo_restore(cr);
        if (!opaque) {
            SetColour(cr, colour::kBlack, 0.9);
            cairo_set_line_width(cr, 2 * outline);
            cairo_stroke_preserve(cr);
        }
        SetColour(cr, ink);
        cairo_fill(cr);
    }
    Save(canvas, "05_font", strip.file);
}

void SkinMaker::Strips()
{
    Strip(kElapsedTime, colour::kText, false, {});
    Strip(kEventSensitivity, colour::kAmber, false, {});
    Strip(kSpeed, colour::kWhite, false, {});
    Strip(kSpeedOpaque, colour::kWhite, true, colour::kBlack);
    Strip(kMemory, colour::kText, false, {});
    Strip(kContents, colour::kText, false, {});
    Strip(kContentsOpaque, colour::kText, true, colour::kPanel);
    Strip(kInfo, colour::kText, false, {});
}

// The text must be DejaVu Sans Bold: a font put in its place would change
// every strip's look and size its characters differently.
bool CheckFont(std::string* error)
{
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("DejaVu Sans:bold"));
    if (pattern == nullptr) {
        *error = "fontconfig cannot be asked for DejaVu Sans";
        return false;
    }
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcChar8* family = nullptr;
    int weight = 0;
    const bool ok = match != nullptr && FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch &&
                    std::string(reinterpret_cast<const char*>(family)) == "DejaVu Sans" &&
                    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight) == FcResultMatch && weight >= FC_WEIGHT_BOLD;
    if (!ok) *error = "the font DejaVu Sans Bold is not installed (Debian package fonts-dejavu-core)";
    if (match != nullptr) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return ok;
}

}  // namespace

}  // namespace skin

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <image folder>\n", argv[0]);
        return 2;
    }
    std::string fontError;
    if (!skin::CheckFont(&fontError)) {
        std::fprintf(stderr, "make_skin: %s\n", fontError.c_str());
        return 1;
    }
    for (int i = 0; i < skin::kScreenSizeCount; ++i) {
        skin::SkinMaker maker(argv[1], i);
        std::string error;
        if (!maker.Make(&error)) {
            std::fprintf(stderr, "make_skin: %s\n", error.c_str());
            return 1;
        }
    }
    // What cairo and fontconfig keep for the life of the process, freed so
    // that a leak checker (the sanitizer builds) sees only this tool's own.
    cairo_debug_reset_static_data();
    FcFini();
    return 0;
}
