// What the recorder writes into a recording and what the repair of a cut
// one rebuilds must agree on: the software the INFO list names, and how an
// MPEG-4 picture is told to be a key frame. Platform-free, as the repair.
#pragma once

#include <cstddef>
#include <cstdint>

// The "ISFT" text of every recording, its terminating zero included.
constexpr const char kRecordingSoftware[] = "Ardvane v1.1.0";

// An intra picture: its VOP (start code 00 00 01 B6) has coding type 0. The
// encoder may put its stream headers (VOS, VOL, GOV) in front of an intra
// VOP, so the VOP start code is looked for, not expected first.
inline bool IsIntraMpeg4Picture(const std::uint8_t* p, std::size_t n)
{
    for (std::size_t i = 0; i + 4 < n; ++i) {
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1 && p[i + 3] == 0xB6) return (p[i + 4] >> 6) == 0;
    }
    return false;
}
