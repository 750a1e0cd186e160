// Painting through the window module onto the composed screen: paint
// contexts, invalid rectangles, z-order and children, the screenshot as
// an outside tool reads it, and flat object counts over many paints.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/graphics/graphics.h"
#include "platform/graphics/graphics_sim.h"
#include "platform/windows/window.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

struct PaintLog {
    int paints = 0;
    os::RECT lastPaint;
    os::COLORREF fill = 0;
};
PaintLog* g_log = nullptr;

// Fills the whole client area with the window's colour (kept in its user
// data) and puts a white 10 x 10 square at (10, 10).
os::LRESULT PaintProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    if (msg != os::WM_PAINT) return os::DefWindowProcW(hwnd, msg, wParam, lParam);
    os::PAINTSTRUCT ps;
    os::HDC dc = os::BeginPaint(hwnd, &ps);
    os::RECT client;
    os::GetClientRect(hwnd, &client);
    os::HBRUSH brush = os::CreateSolidBrush(static_cast<os::COLORREF>(os::GetWindowLongW(hwnd, os::GWL_USERDATA)));
    os::FillRect(dc, &client, brush);
    os::DeleteObject(brush);
    const os::RECT square{10, 10, 20, 20};
    os::FillRect(dc, &square, os::GetStockObject(os::WHITE_BRUSH));
    os::EndPaint(hwnd, &ps);
    if (g_log) {
        ++g_log->paints;
        g_log->lastPaint = ps.rcPaint;
    }
    return 0;
}

std::string Shell(const std::string& command)
{
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return out;
    std::array<char, 256> buffer{};
    while (fgets(buffer.data(), buffer.size(), pipe.get())) out += buffer.data();
    return out;
}

class GdiScreenTest : public testing_support::PlatformTest {
protected:
    PaintLog log;
    void SetUp() override
    {
        PlatformTest::SetUp();
        g_log = &log;
        os::WNDCLASSW wc;
        wc.lpfnWndProc = PaintProc;
        wc.lpszClassName = "Painted";
        ASSERT_NE(os::RegisterClassW(&wc), 0);
    }
    void TearDown() override
    {
        g_log = nullptr;
        PlatformTest::TearDown();
    }
    static os::HWND Make(os::DWORD style, int x, int y, int w, int h, os::COLORREF color, os::HWND owner = nullptr)
    {
        os::HWND hwnd = os::CreateWindowExW(0, "Painted", "", style, x, y, w, h, owner, nullptr, nullptr, nullptr);
        os::SetWindowLongW(hwnd, os::GWL_USERDATA, static_cast<os::LONG_PTR>(color));
        return hwnd;
    }
    // Handles every queued message, paints included.
    static void Drain()
    {
        os::MSG msg;
        while (os::PeekMessageW(&msg, nullptr, 0, 0, os::PM_REMOVE)) os::DispatchMessageW(&msg);
    }
};

TEST_F(GdiScreenTest, PaintingLandsOnTheComposedScreenInZOrder)
{
    os::HWND main = Make(os::WS_VISIBLE, 0, 0, 800, 480, os::RGB(255, 0, 0));
    os::HWND child = Make(os::WS_CHILD | os::WS_VISIBLE, 100, 50, 40, 30, os::RGB(0, 255, 0), main);
    os::HWND popup = Make(os::WS_POPUP | os::WS_VISIBLE, 600, 300, 100, 100, os::RGB(0, 0, 255));
    Drain();
    EXPECT_EQ(os::sim::ScreenPixel(5, 5), 0xFF0000u);
    EXPECT_EQ(os::sim::ScreenPixel(15, 15), 0xFFFFFFu);
    // The child sits inside its owner at its own rectangle; its square is at (110, 60).
    EXPECT_EQ(os::sim::ScreenPixel(105, 55), 0x00FF00u);
    EXPECT_EQ(os::sim::ScreenPixel(115, 65), 0xFFFFFFu);
    EXPECT_EQ(os::sim::ScreenPixel(139, 79), 0x00FF00u);
    EXPECT_EQ(os::sim::ScreenPixel(140, 80), 0xFF0000u);
    EXPECT_EQ(os::sim::ScreenPixel(650, 350), 0x0000FFu);
    // Hidden, the pop-up shows what lies beneath; raised again, it covers it.
    os::ShowWindow(popup, os::SW_HIDE);
    EXPECT_EQ(os::sim::ScreenPixel(650, 350), 0xFF0000u);
    os::ShowWindow(popup, os::SW_SHOW);
    Drain();
    EXPECT_EQ(os::sim::ScreenPixel(650, 350), 0x0000FFu);
    os::SetForegroundWindow(main);
    EXPECT_EQ(os::sim::ScreenPixel(650, 350), 0xFF0000u);
    // A destroyed window leaves the screen.
    os::DestroyWindow(child);
    EXPECT_EQ(os::sim::ScreenPixel(105, 55), 0xFF0000u);
}

TEST_F(GdiScreenTest, PaintContextIsClippedToTheUnionOfInvalidRectangles)
{
    os::HWND hwnd = Make(os::WS_VISIBLE, 0, 0, 800, 480, os::RGB(255, 0, 0));
    Drain();
    EXPECT_EQ(log.paints, 1);
    EXPECT_EQ(log.lastPaint.right, 800);
    EXPECT_EQ(log.lastPaint.bottom, 480);
    // Repaint in another colour, but only two small areas are invalid.
    os::SetWindowLongW(hwnd, os::GWL_USERDATA, static_cast<os::LONG_PTR>(os::RGB(0, 0, 255)));
    const os::RECT a{100, 100, 120, 110}, b{300, 200, 310, 260};
    os::InvalidateRect(hwnd, &a, os::FALSE);
    os::InvalidateRect(hwnd, &b, os::FALSE);
    Drain();
    EXPECT_EQ(log.paints, 2);
    EXPECT_EQ(log.lastPaint.left, 100);
    EXPECT_EQ(log.lastPaint.top, 100);
    EXPECT_EQ(log.lastPaint.right, 310);
    EXPECT_EQ(log.lastPaint.bottom, 260);
    EXPECT_EQ(os::sim::ScreenPixel(100, 100), 0x0000FFu);
    EXPECT_EQ(os::sim::ScreenPixel(309, 259), 0x0000FFu);
    EXPECT_EQ(os::sim::ScreenPixel(99, 100), 0xFF0000u);
    EXPECT_EQ(os::sim::ScreenPixel(310, 259), 0xFF0000u);
    EXPECT_EQ(os::sim::ScreenPixel(400, 400), 0xFF0000u);
    // A rectangle outside the client area asks for no paint; null asks for all of it.
    const os::RECT off{900, 0, 950, 10};
    os::InvalidateRect(hwnd, &off, os::FALSE);
    Drain();
    EXPECT_EQ(log.paints, 2);
    os::InvalidateRect(hwnd, nullptr, os::FALSE);
    Drain();
    EXPECT_EQ(log.paints, 3);
    EXPECT_EQ(os::sim::ScreenPixel(400, 400), 0x0000FFu);
    // GetDC draws anywhere in the client area, outside of any paint.
    os::HDC dc = os::GetDC(hwnd);
    os::SetPixel(dc, 700, 400, os::RGB(0, 255, 0));
    EXPECT_EQ(os::ReleaseDC(hwnd, dc), 1);
    EXPECT_EQ(os::sim::ScreenPixel(700, 400), 0x00FF00u);
}

TEST_F(GdiScreenTest, ScreenshotIsAPngThatOutsideToolsRead)
{
    if (Shell("command -v convert").empty()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    Make(os::WS_VISIBLE, 0, 0, 800, 480, os::RGB(255, 0, 0));
    Drain();
    testing_support::TempFolder folder;
    const std::string path = folder.Path() + "/screen.png";
    std::string error;
    ASSERT_TRUE(os::sim::SaveScreenPng(path, &error)) << error;
    EXPECT_EQ(Shell("identify -format '%w %h' " + path), "800 480");
    const std::string pixel = Shell("convert " + path + "[1x1+15+15] -depth 8 txt:-");
    EXPECT_NE(pixel.find("#FFFFFF"), std::string::npos) << pixel;
    const std::string red = Shell("convert " + path + "[1x1+300+300] -depth 8 txt:-");
    EXPECT_NE(red.find("#FF0000"), std::string::npos) << red;
    EXPECT_FALSE(os::sim::SaveScreenPng(folder.Path() + "/missing/folder/screen.png", &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(GdiScreenTest, ObjectCountsStayFlatOverManyPaints)
{
    os::HWND hwnd = Make(os::WS_VISIBLE, 0, 0, 800, 480, os::RGB(255, 0, 0));
    Drain();
    const os::sim::GdiCounts start = os::sim::GdiObjectCounts();
    for (int i = 0; i < 200; ++i) {
        os::InvalidateRect(hwnd, nullptr, os::FALSE);
        os::UpdateWindow(hwnd);
    }
    EXPECT_EQ(log.paints, 201);
    const os::sim::GdiCounts end = os::sim::GdiObjectCounts();
    EXPECT_EQ(end.dcs, start.dcs);
    EXPECT_EQ(end.brushes, start.brushes);
    EXPECT_EQ(end.Total(), start.Total());
}

}  // namespace
