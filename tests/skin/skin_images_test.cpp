// The skin made by the build, as an outside decoder (ImageMagick) reads it:
// every image of every screen size in its format and within its screen, the
// toolbar's looks fitting the main screen's layout, the button looks and
// toggle looks telling their states apart, and the character strips and
// multi-cell icons laid out as the tables the screens index them by say;
// and the generator, run again, making the same bytes, or naming the folder
// it cannot make.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/files/file.h"
#include "skin/font_strips.h"
#include "skin/image_cells.h"
#include "tests/support/host_tool.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/program_folder.h"
#include "tests/support/temp_folder.h"

namespace {

using testing_support::HostToolPresent;
using testing_support::RunHostTool;

// Every image the screens load, by subfolder.
const std::vector<std::string>& SkinFiles()
{
    static const std::vector<std::string> files = [] {
        const std::map<std::string, std::vector<std::string>> byFolder = {
            {"01_common",
             {"IdleBg.png", "IdleBg_Lands.png", "background.png", "bar_rectime.jpg", "bar_rectime_video.jpg",
              "box_contents.jpg", "box_contents04_lite.png", "box_contents_video.gif", "box_popup01.png",
              "box_popup02.png", "box_popup02_03.png", "box_popup03.png", "box_popup_new.png", "box_popup_sms.png",
              "btn_cancel1_c.png", "btn_cancel1_d.png", "btn_cancel1_n.png", "btn_confirm_c.png", "btn_confirm_d.png",
              "btn_confirm_n.png", "btn_no_c.png", "btn_no_d.png", "btn_no_n.png", "btn_yes_c.png", "btn_yes_d.png",
              "btn_yes_n.png", "ardvane3.png", "top.png"}},
            {"02_menu",
             {"btn_cancel_c.png", "btn_cancel_d.png", "btn_cancel_n.png", "btn_liteexit_c.png", "btn_liteexit_d.png",
              "btn_liteexit_n.png", "btn_litemic_c1.png", "btn_litemic_c2.png", "btn_litemic_d.png",
              "btn_litemic_n.png", "btn_litemic_s.png", "btn_litesetting_c.png", "btn_litesetting_d.png",
              "btn_litesetting_n.png", "btn_litespeaker_c1.png", "btn_litespeaker_c2.png", "btn_litespeaker_d.png",
              "btn_litespeaker_n.png", "btn_litespeaker_s.png"}},
            {"03_common", {"box_lite_speed.png"}},
            {"03_icon",
             {"CI-holmbrek4.gif", "battery.png", "icon_gps.png", "memory.png", "memory_lite_re2.png", "on_air.png"}},
            {"04_contents",
             {"bar_control_bg.gif", "btn_brightness.gif", "btn_minus_c.png", "btn_minus_d.png", "btn_minus_n.png",
              "btn_plus_c.png", "btn_plus_d.png", "btn_plus_n.png", "btn_zoom.gif", "saveevent04.png"}},
            {"05_font",
             {"font_Elapsed-Time_lite.png", "font_Event-Sensitivity_lite.png", "font_contents.jpg",
              "font_contents01.png", "font_info03.png", "font_lite_speed.jpg", "font_lite_speed.png",
              "font_menory_lite.png"}},
        };
        std::vector<std::string> all;
        for (const auto& [folder, names] : byFolder) {
            for (const std::string& name : names) all.push_back(folder + "/" + name);
        }
        return all;
    }();
    return files;
}

std::string SizeFolder(const skin::ScreenSize& size)
{
    return std::string(KESTRAVA_BINARY_DIR) + "/image/" + std::to_string(size.width) + "x" + std::to_string(size.height);
}

struct Described {
    std::string format;
    int width = 0;
    int height = 0;
};

// What identify says of every skin file of one screen size, by relative path.
std::map<std::string, Described> Identify(const skin::ScreenSize& size)
{
    const std::string folder = SizeFolder(size);
    std::string command = "cd '" + folder + "' && identify -format '%d/%f|%m|%w|%h\\n'";
    for (const std::string& file : SkinFiles()) command += " '" + file + "'";
    const testing_support::HostToolResult result = RunHostTool(command);
    std::map<std::string, Described> described;
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string path, format, width, height;
        if (!std::getline(fields, path, '|') || !std::getline(fields, format, '|') || !std::getline(fields, width, '|') ||
            !std::getline(fields, height, '|')) {
            continue;
        }
        described[path] = {format, std::stoi(width), std::stoi(height)};
    }
    return described;
}

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
    const std::uint8_t* At(int x, int y) const { return &rgba[(static_cast<std::size_t>(y) * width + x) * 4]; }
};

// Every skin file of one screen size as ImageMagick decodes it, 8-bit RGBA,
// by relative path: one decoder run for all of them, the frames one after
// the other. Empty when the run fails or its output does not add up.
std::map<std::string, Pixels> DecodeAll(const skin::ScreenSize& size, const std::map<std::string, Described>& described)
{
    std::string command = "cd '" + SizeFolder(size) + "' && convert";
    std::size_t expected = 0;
    for (const auto& [file, d] : described) {
        command += " '" + file + "'";
        expected += static_cast<std::size_t>(d.width) * d.height * 4;
    }
    const testing_support::HostToolResult result = RunHostTool(command + " -depth 8 rgba:-");
    std::map<std::string, Pixels> decoded;
    if (result.exitCode != 0 || result.output.size() != expected) return decoded;
    std::size_t at = 0;
    for (const auto& [file, d] : described) {
        Pixels& p = decoded[file];
        p.width = d.width;
        p.height = d.height;
        const std::size_t bytes = static_cast<std::size_t>(d.width) * d.height * 4;
        p.rgba.assign(result.output.begin() + at, result.output.begin() + at + bytes);
        at += bytes;
    }
    return decoded;
}

double MeanLuma(const Pixels& p)
{
    double sum = 0;
    for (std::size_t i = 0; i + 3 < p.rgba.size(); i += 4) {
        sum += 0.299 * p.rgba[i] + 0.587 * p.rgba[i + 1] + 0.114 * p.rgba[i + 2];
    }
    return p.rgba.empty() ? 0 : sum / (p.rgba.size() / 4);
}

// The strongest colour of the picture: 0 for pure greys.
int MaxSaturation(const Pixels& p)
{
    int most = 0;
    for (std::size_t i = 0; i + 3 < p.rgba.size(); i += 4) {
        const int hi = std::max({p.rgba[i], p.rgba[i + 1], p.rgba[i + 2]});
        const int lo = std::min({p.rgba[i], p.rgba[i + 1], p.rgba[i + 2]});
        most = std::max(most, hi - lo);
    }
    return most;
}

struct Cell {
    int left, top, width, height;
};

std::vector<std::uint8_t> CellBytes(const Pixels& p, const Cell& c)
{
    std::vector<std::uint8_t> bytes;
    for (int y = c.top; y < c.top + c.height; ++y) {
        const std::uint8_t* row = p.At(c.left, y);
        bytes.insert(bytes.end(), row, row + static_cast<std::size_t>(c.width) * 4);
    }
    return bytes;
}

// Pixels of the cell that carry something: visible ones in a picture with
// transparency, else ones unlike the cell's top-left corner.
int Ink(const Pixels& p, const Cell& c, bool alpha)
{
    const std::uint8_t* corner = p.At(c.left, c.top);
    int ink = 0;
    for (int y = c.top; y < c.top + c.height; ++y) {
        for (int x = c.left; x < c.left + c.width; ++x) {
            const std::uint8_t* px = p.At(x, y);
            if (alpha ? px[3] > 64
                      : std::abs(px[0] - corner[0]) + std::abs(px[1] - corner[1]) + std::abs(px[2] - corner[2]) > 120) {
                ++ink;
            }
        }
    }
    return ink;
}

// Each cell shows something of its own: none is empty, no two are alike.
void ExpectDistinctCells(const Pixels& p, const std::vector<Cell>& cells, bool alpha, const std::string& what)
{
    std::vector<std::vector<std::uint8_t>> seen;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        EXPECT_GT(Ink(p, cells[i], alpha), cells[i].width * cells[i].height / 50) << what << " cell " << i << " is empty";
        const std::vector<std::uint8_t> bytes = CellBytes(p, cells[i]);
        for (std::size_t j = 0; j < seen.size(); ++j) EXPECT_NE(seen[j], bytes) << what << " cells " << j << " and " << i;
        seen.push_back(bytes);
    }
}

class SkinImagesTest : public testing_support::PlatformTest {
protected:
    void SetUp() override
    {
        if (!HostToolPresent("identify") || !HostToolPresent("convert")) GTEST_SKIP() << "ImageMagick is not installed";
        PlatformTest::SetUp();
    }
};

TEST_F(SkinImagesTest, EverySizeHoldsEveryImageInItsFormatWithinItsScreen)
{
    ASSERT_EQ(SkinFiles().size(), 72u);
    for (const skin::ScreenSize& size : skin::kScreenSizes) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        const std::map<std::string, Described> described = Identify(size);
        for (const std::string& file : SkinFiles()) {
            const auto it = described.find(file);
            ASSERT_NE(it, described.end()) << file << " is missing or unreadable";
            const Described& d = it->second;
            const std::string ext = file.substr(file.size() - 3);
            EXPECT_EQ(d.format, ext == "png" ? "PNG" : ext == "jpg" ? "JPEG" : "GIF") << file;
            EXPECT_GT(d.width, 0) << file;
            EXPECT_GT(d.height, 0) << file;
            const bool idle = file.find("IdleBg") != std::string::npos;
            if (idle) {
                // The idle pictures serve both orientations of the display.
                const bool portrait = file.find("Lands") == std::string::npos;
                EXPECT_GE(portrait ? d.height : d.width, portrait ? d.width : d.height) << file;
                EXPECT_LE(std::max(d.width, d.height), std::max(size.width, size.height)) << file;
                EXPECT_LE(std::min(d.width, d.height), std::min(size.width, size.height)) << file;
            } else {
                EXPECT_LE(d.width, size.width) << file;
                EXPECT_LE(d.height, size.height) << file;
            }
        }
        // The full-screen and full-width pictures cover what they are for.
        EXPECT_EQ(described.at("01_common/background.png").width, size.width);
        EXPECT_EQ(described.at("01_common/background.png").height, size.height);
        for (const char* bar : {"01_common/top.png", "01_common/bar_rectime.jpg", "01_common/bar_rectime_video.jpg"}) {
            EXPECT_EQ(described.at(bar).width, size.width) << bar;
        }
    }

    // The start screen's logo is always taken from the 800 x 480 skin and
    // must fit that screen turned either way.
    const std::map<std::string, Described> main = Identify({800, 480});
    EXPECT_LE(main.at("01_common/ardvane3.png").width, 480);
    EXPECT_LE(main.at("01_common/ardvane3.png").height, 480);

    // The toolbar on its 800 x 480 places, each as large as its normal look:
    // inside the screen, the side column left of the picture's touch area
    // (x 126), everything above the bottom bar (y 427), no two places
    // overlapping.
    struct Place {
        const char* normal;
        int left, top;
    };
    const Place places[] = {
        {"02_menu/btn_liteexit_n.png", 0, 55},     {"02_menu/btn_litespeaker_n.png", 0, 150},
        {"02_menu/btn_litespeaker_s.png", 0, 150}, {"02_menu/btn_litemic_n.png", 0, 240},
        {"02_menu/btn_litemic_s.png", 0, 240},     {"02_menu/btn_litesetting_n.png", 0, 331},
        {"04_contents/btn_minus_n.png", 487, 356}, {"04_contents/btn_plus_n.png", 707, 356},
    };
    for (const Place& a : places) {
        const Described& da = main.at(a.normal);
        EXPECT_LE(a.left + da.width, 800) << a.normal;
        EXPECT_LE(a.top + da.height, 427) << a.normal;
        if (a.left == 0) {
            EXPECT_LE(da.width, 126) << a.normal;
        }
        for (const Place& b : places) {
            if (&a == &b || (a.left == b.left && a.top == b.top)) continue;
            const Described& db = main.at(b.normal);
            const bool apart = a.left + da.width <= b.left || b.left + db.width <= a.left ||
                               a.top + da.height <= b.top || b.top + db.height <= a.top;
            EXPECT_TRUE(apart) << a.normal << " overlaps " << b.normal;
        }
    }

    // The program finds the skin through its own folder on the device.
    testing_support::ProgramFolder program;
    for (const char* path : {"\\Program Files\\Kestrava\\image\\800x480\\01_common\\background.png",
                             "\\Program Files\\Kestrava\\image\\480x800\\05_font\\font_Elapsed-Time_lite.png",
                             "\\Program Files\\Kestrava\\image\\320x320\\03_common\\box_lite_speed.png"}) {
        EXPECT_NE(os::GetFileAttributesW(path), os::INVALID_FILE_ATTRIBUTES) << path;
    }

    // Made again, the skin is the same to the byte.
    testing_support::TempFolder again;
    const testing_support::HostToolResult made =
        RunHostTool(std::string("'") + KESTRAVA_BINARY_DIR + "/skin/make_skin' '" + again.Path() + "'");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    for (const skin::ScreenSize& size : skin::kScreenSizes) {
        const std::string name = std::to_string(size.width) + "x" + std::to_string(size.height);
        for (const std::string& file : SkinFiles()) {
            std::ifstream built(SizeFolder(size) + "/" + file, std::ios::binary);
            std::ifstream remade(again / (name + "/" + file), std::ios::binary);
            const std::string a{std::istreambuf_iterator<char>(built), {}};
            const std::string b{std::istreambuf_iterator<char>(remade), {}};
            EXPECT_FALSE(a.empty()) << name << "/" << file;
            EXPECT_TRUE(a == b) << name << "/" << file << " differs when made again";
        }
    }

    // A folder it cannot make stops the generator with its name, and
    // without the folder it asks for one.
    testing_support::TempFolder blocked;
    std::ofstream(blocked / "800x480") << "a file where the folder would go";
    const testing_support::HostToolResult refused =
        RunHostTool(std::string("'") + KESTRAVA_BINARY_DIR + "/skin/make_skin' '" + blocked.Path() + "'");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.output.find(blocked / "800x480"), std::string::npos) << refused.output;
    EXPECT_EQ(RunHostTool(std::string("'") + KESTRAVA_BINARY_DIR + "/skin/make_skin'").exitCode, 2);
}

TEST_F(SkinImagesTest, LooksStripsAndCellsTellTheirStatesAndCharactersApart)
{
    struct Button {
        const char* stem;
        bool toggle;
    };
    const Button buttons[] = {
        {"01_common/btn_cancel1", false}, {"01_common/btn_confirm", false}, {"01_common/btn_no", false},
        {"01_common/btn_yes", false},     {"02_menu/btn_cancel", false},    {"02_menu/btn_liteexit", false},
        {"02_menu/btn_litesetting", false}, {"02_menu/btn_litemic", true},  {"02_menu/btn_litespeaker", true},
        {"04_contents/btn_minus", false}, {"04_contents/btn_plus", false},
    };
    for (int sizeIndex = 0; sizeIndex < skin::kScreenSizeCount; ++sizeIndex) {
        const skin::ScreenSize size = skin::kScreenSizes[sizeIndex];
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        const std::map<std::string, Described> described = Identify(size);
        const std::map<std::string, Pixels> decoded = DecodeAll(size, described);
        ASSERT_FALSE(decoded.empty()) << "the skin does not decode";
        const auto decode = [&](const std::string& file) {
            const auto it = decoded.find(file);
            return it == decoded.end() ? Pixels{} : it->second;
        };

        for (const Button& button : buttons) {
            const std::string stem = button.stem;
            std::vector<std::string> suffixes = {"_n", "_c", "_d"};
            if (button.toggle) suffixes = {"_n", "_c1", "_d", "_s", "_c2"};
            std::map<std::string, Pixels> looks;
            for (const std::string& suffix : suffixes) {
                looks[suffix] = decode(stem + suffix + ".png");
                ASSERT_FALSE(looks[suffix].rgba.empty()) << stem << suffix;
                EXPECT_EQ(looks[suffix].width, looks["_n"].width) << stem << suffix;
                EXPECT_EQ(looks[suffix].height, looks["_n"].height) << stem << suffix;
            }
            for (const std::string& a : suffixes) {
                for (const std::string& b : suffixes) {
                    if (a < b) {
                        EXPECT_NE(looks[a].rgba, looks[b].rgba) << stem << a << " and " << b << " look alike";
                    }
                }
            }
            // Pressed looks are brighter than the look they press; the
            // disabled look is grey.
            const std::string pressedOn = button.toggle ? "_c1" : "_c";
            EXPECT_GT(MeanLuma(looks[pressedOn]), MeanLuma(looks["_n"]) + 20) << stem;
            if (button.toggle) {
                EXPECT_GT(MeanLuma(looks["_c2"]), MeanLuma(looks["_s"]) + 20) << stem;
            }
            EXPECT_LE(MaxSaturation(looks["_d"]), 24) << stem;
            EXPECT_GT(MaxSaturation(looks["_n"]), 24) << stem;
        }

        for (const skin::FontStrip* strip : skin::kFontStrips) {
            const std::string file = std::string("05_font/") + strip->file;
            const skin::CellSize cell = strip->cell[sizeIndex];
            const int count = skin::CellCount(*strip);
            const Pixels p = decode(file);
            ASSERT_FALSE(p.rgba.empty()) << file;
            EXPECT_EQ(p.width, cell.width * count) << file;
            EXPECT_EQ(p.height, cell.height) << file;
            if (p.width != cell.width * count || p.height != cell.height) continue;
            const bool alpha = file.ends_with(".png");
            std::vector<Cell> cells;
            for (int i = 0; i < count; ++i) {
                const Cell c{i * cell.width, 0, cell.width, cell.height};
                if (strip->chars[i] == ' ') {
                    EXPECT_EQ(Ink(p, c, alpha), 0) << file << ": the blank cell";
                    continue;
                }
                cells.push_back(c);
                if (!alpha) continue;
                // Each character stays inside its own cell: nothing solid on
                // the cell's outer columns.
                int edge = 0;
                for (int y = 0; y < cell.height; ++y) {
                    edge = std::max({edge, static_cast<int>(p.At(c.left, y)[3]),
                                     static_cast<int>(p.At(c.left + c.width - 1, y)[3])});
                }
                EXPECT_LT(edge, 160) << file << " '" << strip->chars[i] << "' leaves its cell";
            }
            ExpectDistinctCells(p, cells, alpha, file);
        }

        const skin::ImageCells& table = skin::kImageCells[sizeIndex];
        struct CellImage {
            const char* file;
            int count;
            skin::CellSize cell;
            bool stacked;
        };
        const CellImage images[] = {
            {"03_icon/battery.png", skin::kBatteryCells, table.battery, false},
            {"03_icon/icon_gps.png", skin::kGpsCells, table.gps, false},
            {"03_icon/memory.png", skin::kMemoryCells, table.memory, false},
            {"03_icon/on_air.png", skin::kOnAirCells, {skin::kOnAirCellWidth, table.onAirHeight}, false},
            {"03_icon/memory_lite_re2.png", skin::kGaugeRows, {table.gaugeLength, table.gaugeRowHeight}, true},
        };
        for (const CellImage& image : images) {
            const Pixels p = decode(image.file);
            ASSERT_FALSE(p.rgba.empty()) << image.file;
            EXPECT_EQ(p.width, image.stacked ? image.cell.width : image.cell.width * image.count) << image.file;
            EXPECT_EQ(p.height, image.stacked ? image.cell.height * image.count : image.cell.height) << image.file;
            std::vector<Cell> cells;
            for (int i = 0; i < image.count; ++i) {
                cells.push_back(image.stacked ? Cell{0, i * image.cell.height, image.cell.width, image.cell.height}
                                              : Cell{i * image.cell.width, 0, image.cell.width, image.cell.height});
            }
            if (p.width == cells.back().left + image.cell.width && p.height == cells.back().top + image.cell.height) {
                ExpectDistinctCells(p, cells, true, image.file);
            }
        }
    }
}

}  // namespace
