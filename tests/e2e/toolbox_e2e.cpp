// The toolbox in the built program: it grows into view, switches views, docks at the left edge,
// closes and opens again from the tray menu.
#include <gtest/gtest.h>

#include "e2e/Driver.h"

namespace {

using namespace e2e;

// Control ids of the toolbox window, in the order of its definition.
constexpr int CloseButton = 2, LookupTile = 5, BackButton = 11, NumberBox = 13, QueryButton = 14;

void ClickControl(HWND window, int id) {
    RECT r = Rect(GetDlgItem(window, id));
    Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

bool Shown(HWND window, int id) { return IsWindowVisible(GetDlgItem(window, id)) != 0; }

bool Settled(HWND toolbox) {
    RECT r = Rect(toolbox);
    return r.left == 325 && r.top == 273 && r.right - r.left == 379 && r.bottom - r.top == 228;
}

TEST(ToolboxEndToEnd, GrowsSwitchesDocksClosesAndOpensAgain) {
    Program p = Start();
    ASSERT_TRUE(p.process);
    HWND welcome = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (welcome = WindowOf(p.id, L"LumenoForm", L"", 300, 130)) != nullptr; }));
    Sleep(300);
    ClickControl(welcome, 1); // "否"

    HWND toolbox = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        toolbox = WindowOf(p.id, L"LumenoForm", Wide("Lumeno助手"));
        return toolbox && IsWindowVisible(toolbox) && Settled(toolbox);
    }));
    EXPECT_FALSE(IsWindowVisible(welcome));
    EXPECT_FALSE(GetWindowLongW(toolbox, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(Shown(toolbox, LookupTile));
    EXPECT_FALSE(Shown(toolbox, QueryButton));
    Screenshot(L"toolbox-launchers");

    ClickControl(toolbox, LookupTile);
    EXPECT_TRUE(WaitFor([&] { return Shown(toolbox, QueryButton) && Shown(toolbox, NumberBox); }));
    EXPECT_TRUE(Shown(toolbox, BackButton));
    EXPECT_FALSE(Shown(toolbox, LookupTile));
    Screenshot(L"toolbox-lookup");

    // Drag it by its background against the left edge, then move the cursor away.
    RECT r = Rect(toolbox);
    POINT grip{r.left + 10, r.top + 215};
    Drag(grip, {grip.x - r.left - 5, grip.y});
    ASSERT_TRUE(WaitFor([&] { return Rect(toolbox).left <= 0; }, 2000)) << Rect(toolbox).left;
    MoveCursor(700, 600);
    DWORD moved = GetTickCount();
    EXPECT_TRUE(WaitFor([&] { return Rect(toolbox).left == 4 - 379; }, 2000));
    EXPECT_LE(GetTickCount() - moved, 700u); // a docking tick every 100 ms
    Screenshot(L"toolbox-docked");

    // Touch the sliver: it comes back to the edge.
    MoveCursor(2, Rect(toolbox).top + 100);
    EXPECT_TRUE(WaitFor([&] { return Rect(toolbox).left == 0; }, 2000));

    // Close it, then open it again from the tray menu: launcher view, grown in again.
    ClickControl(toolbox, CloseButton);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(toolbox); }));
    POINT icon = FirstTrayIcon();
    Click(icon.x, icon.y, true);
    Menu menu;
    ASSERT_TRUE(WaitFor([&] { return (menu = OpenMenu()).window != nullptr; }));
    ChooseMenuItem(menu, 0, 7);
    ASSERT_TRUE(WaitFor([&] {
        toolbox = WindowOf(p.id, L"LumenoForm", Wide("Lumeno助手"));
        return toolbox && IsWindowVisible(toolbox) && Settled(toolbox);
    }));
    EXPECT_TRUE(Shown(toolbox, LookupTile));
    EXPECT_FALSE(Shown(toolbox, QueryButton));
    // Opened from the menu it is modal: the welcome prompt's buttons are out of reach meanwhile
    // (the others are disabled right after the zoom, when the modal loop starts).
    EXPECT_TRUE(WaitFor([&] { return !IsWindowEnabled(welcome); }, 2000));
    Screenshot(L"toolbox-again");
    Stop(p);
}

} // namespace
