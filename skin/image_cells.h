// The skin's images that hold several looks side by side or stacked (status
// icons and the memory gauge): how many cells each has, what each cell
// shows and how large it is on each screen size, indexed like
// skin::kScreenSizes. The skin generator draws them from this table.
//
//   battery.png       five cells side by side, a fifth of the width each;
//                     cell i is battery value i: 0 external power, 1 full
//                     (80 % and more), 2 (40-79 %), 3 (15-39 %), 4 low.
//   icon_gps.png      kGpsCells cells side by side; GPS state s (1 to 4) is
//                     the cell starting at width - s * cell width: 1 no
//                     receiver (rightmost), 2 searching, 3 2D fix, 4 3D fix.
//   memory.png        two halves: left the phone's own memory, right the
//                     storage card.
//   on_air.png        three cells 33 pixels wide: 0 recording, 1 the same
//                     dimmed (blinking), 2 not recording.
//   memory_lite_re2.png  four rows of the gauge, each gaugeLength wide:
//                     row 0 the empty track, rows 1 to 3 the full bar in
//                     colour level 1 (below 50 %), 2 (50-69 %) and 3 (70 %
//                     and up). A gauge at p % is row 0 with the first
//                     p * gaugeLength / 100 pixels of its level's row over it.
#pragma once

#include "skin/font_strips.h"

namespace skin {

constexpr int kBatteryCells = 5;
constexpr int kGpsCells = 4;
constexpr int kMemoryCells = 2;
constexpr int kOnAirCells = 3;
constexpr int kOnAirCellWidth = 33;
constexpr int kGaugeRows = 4;

struct ImageCells {
    CellSize battery;  // one cell
    CellSize gps;      // one cell: the icon's place on the screen
    CellSize memory;   // one half
    int onAirHeight;   // cells are kOnAirCellWidth wide
    int gaugeLength;   // one row's width: the bar at 100 %
    int gaugeRowHeight;
};

constexpr ImageCells kImageCells[kScreenSizeCount] = {
    {{56, 40}, {56, 40}, {48, 40}, 33, 152, 18},  // 800 x 480
    {{28, 20}, {28, 20}, {24, 20}, 33, 61, 9},    // 320 x 320
    {{28, 20}, {28, 20}, {24, 20}, 24, 76, 9},    // 400 x 240
    {{45, 32}, {45, 32}, {38, 32}, 33, 122, 14},  // 640 x 480
    {{34, 24}, {34, 24}, {29, 24}, 29, 91, 11},   // 480 x 800
};

}  // namespace skin
