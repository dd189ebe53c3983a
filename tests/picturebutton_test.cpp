// Picture buttons: which picture shows as the mouse hovers, presses, leaves and releases, when a
// click is raised, and how the picture is drawn.
#include <gtest/gtest.h>

#include "support/Fixtures.h"

#include <vector>
#include <windows.h>

#include "assets/resource.h"
#include "ui/Forms.h"
#include "ui/Runtime.h"
#include "ui/win32/Internal.h"

namespace {
using namespace ui;

class PictureButtons : public testing::Test {
  protected:
    std::vector<ControlRef> clicks;

    void SetUp() override {
        testsupport::SilenceEffects();
        RuntimeObservers().clicked = [this](ControlRef ref) { clicks.push_back(ref); };
    }
    void TearDown() override {
        RuntimeObservers().clicked = nullptr;
        testsupport::CloseAllWindows();
    }
};

enum Event { Move, Down, Up, Leave, Disable, Enable };
enum Where { On, Off };

// Sends one mouse event as the window system would deliver it to the button.
void Send(HWND button, Event event, Where where) {
    RECT r;
    GetWindowRect(button, &r);
    POINT client = where == On ? POINT{10, 10} : POINT{-20, (r.bottom - r.top) + 20};
    SetCursorPos(r.left + client.x, r.top + client.y);
    LPARAM at = MAKELPARAM(client.x, client.y);
    switch (event) {
    case Move:
        SendMessageW(button, WM_MOUSEMOVE, 0, at);
        break;
    case Down:
        SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
        break;
    case Up:
        SendMessageW(button, WM_LBUTTONUP, 0, at);
        break;
    case Leave:
        SendMessageW(button, WM_MOUSELEAVE, 0, 0);
        break;
    case Disable:
        EnableWindow(button, FALSE);
        break;
    case Enable:
        EnableWindow(button, TRUE);
        break;
    }
}

TEST_F(PictureButtons, StateMachine) {
    ASSERT_TRUE(LoadWindow(ToolboxForm));
    ASSERT_TRUE(LoadWindow(WelcomeForm));
    ASSERT_TRUE(LoadWindow(UpdateForm));
    const ControlRef tile{ToolboxForm, toolbox::打开计算器};
    const ControlRef yes{WelcomeForm, welcome::图形按钮1};
    const ControlRef confirm{UpdateForm, updateform::图形按钮1};
    SetProperty(confirm, prop::Visible, 1);
    struct Step {
        ControlRef button;
        Event event;
        Where where;
        int picture; // shown afterwards
        size_t clicks;
    } steps[] = {
        {tile, Move, On, IDP_TILE_CALC_HOVER, 0},
        {tile, Down, On, IDP_TILE_CALC_HOVER, 0}, // the hover picture serves as the pressed one
        {tile, Move, Off, IDP_TILE_CALC, 0},      // held and moved off: normal
        {tile, Up, Off, IDP_TILE_CALC, 0},        // released off: no click
        {tile, Move, Off, IDP_TILE_CALC, 0},
        {tile, Move, On, IDP_TILE_CALC_HOVER, 0},
        {tile, Down, On, IDP_TILE_CALC_HOVER, 0},
        {tile, Move, Off, IDP_TILE_CALC, 0},
        {tile, Move, On, IDP_TILE_CALC_HOVER, 0}, // back on while held: pressed again
        {tile, Up, On, IDP_TILE_CALC_HOVER, 1},   // released on: one click, hovering
        {tile, Leave, Off, IDP_TILE_CALC, 1},
        {tile, Up, On, IDP_TILE_CALC_HOVER, 1}, // a release without a press is no click
        {tile, Leave, Off, IDP_TILE_CALC, 1},
        {tile, Move, On, IDP_TILE_CALC_HOVER, 1},
        {tile, Disable, On, IDP_TILE_CALC, 1}, // no disabled picture: the normal one
        {tile, Enable, On, IDP_TILE_CALC_HOVER, 1},
        {tile, Leave, Off, IDP_TILE_CALC, 1},
        {yes, Disable, Off, IDP_WELCOME_YES_HOVER, 1}, // its own disabled picture
        {yes, Enable, Off, IDP_WELCOME_YES, 1},
        {yes, Move, On, IDP_WELCOME_YES_HOVER, 1},
        {yes, Leave, Off, IDP_WELCOME_YES, 1},
        {confirm, Move, On, IDP_CONFIRM_UPDATE_HOVER, 1},
        {confirm, Down, On, IDP_CONFIRM_UPDATE, 1}, // no pressed picture: normal while held
        {confirm, Move, Off, IDP_CONFIRM_UPDATE, 1},
        {confirm, Up, Off, IDP_CONFIRM_UPDATE, 1},
    };
    int n = 0;
    for (const Step& s : steps) {
        ++n;
        HWND hwnd = WindowHandle(s.button);
        ASSERT_TRUE(hwnd);
        HWND focus = GetFocus();
        Send(hwnd, s.event, s.where);
        EXPECT_EQ(win32::ShownPicture(*win32::FindControl(s.button)), s.picture) << "step " << n;
        EXPECT_EQ(clicks.size(), s.clicks) << "step " << n;
        EXPECT_EQ(GetFocus(), focus) << "step " << n << ": a picture button took the focus";
    }
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0], tile);
}

// The colours of a window's client area as drawn on screen.
std::vector<COLORREF> Pixels(HWND hwnd, int width, int height) {
    std::vector<COLORREF> out;
    HDC dc = GetDC(hwnd);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out.push_back(GetPixel(dc, x, y) & 0xFFFFFF);
    ReleaseDC(hwnd, dc);
    return out;
}

std::vector<COLORREF> PicturePixels(int resource) {
    SIZE size = win32::PictureSize(resource);
    std::vector<COLORREF> out;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, win32::Picture(resource));
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x)
            out.push_back(GetPixel(dc, x, y) & 0xFFFFFF);
    SelectObject(dc, old);
    DeleteDC(dc);
    return out;
}

TEST_F(PictureButtons, PictureDrawnAtItsSizeFromTheCornerRestBlack) {
    ASSERT_TRUE(LoadWindow(AboutForm));
    const ControlRef close{AboutForm, about::图形按钮1};
    // Made larger than its 36 x 36 picture, then smaller: neither scales the picture.
    struct Case {
        int width, height;
    } cases[] = {{50, 44}, {20, 30}};
    const std::vector<COLORREF> picture = PicturePixels(IDP_CLOSE);
    ASSERT_EQ(picture.size(), 36u * 36u);
    for (const Case& c : cases) {
        SetProperty(close, prop::Left, 0);
        SetProperty(close, prop::Width, c.width);
        SetProperty(close, prop::Height, c.height);
        HWND hwnd = WindowHandle(close);
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        std::vector<COLORREF> shown = Pixels(hwnd, c.width, c.height);
        int wrong = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                COLORREF want = x < 36 && y < 36 ? picture[size_t(y * 36 + x)] : RGB(0, 0, 0);
                wrong += shown[size_t(y * c.width + x)] != want;
            }
        EXPECT_EQ(wrong, 0) << c.width << "x" << c.height;
    }
}

} // namespace
