// The built program as a person meets it: the welcome prompt, the tray icon and its menu, a second
// start, the about window and "退出".
#include <gtest/gtest.h>

#include "e2e/Driver.h"

namespace {

using namespace e2e;

HWND MessageBoxOf(DWORD processId) {
    for (HWND h : WindowsOf(processId, L"#32770"))
        if (IsWindowVisible(h)) return h;
    return nullptr;
}

std::wstring TextOf(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t cls[32] = {}, text[256] = {};
        GetClassNameW(child, cls, 32);
        GetWindowTextW(child, text, 256);
        if (wcscmp(cls, L"Static") == 0 && text[0]) return text;
    }
    return {};
}

TEST(ShellEndToEnd, WelcomeTraySecondStartAboutAndQuit) {
    Program first = Start();
    ASSERT_TRUE(first.process);
    HWND welcome = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (welcome = WindowOf(first.id, L"LumenoForm", L"", 300, 130)) != nullptr; }));
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(welcome) != 0; }));
    RECT r = Rect(welcome);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 300) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 130) / 2);
    ASSERT_TRUE(WaitFor([] { return TrayWindow() && IsWindowVisible(TrayWindow()); }));
    Sleep(500); // painted, not only mapped
    Screenshot(L"welcome");

    // A second start of the same file warns, and ends with 0 once answered.
    Program second = Start();
    HWND warning = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (warning = MessageBoxOf(second.id)) != nullptr; }));
    wchar_t title[64] = {};
    GetWindowTextW(warning, title, 64);
    EXPECT_EQ(std::wstring(title), Wide("温馨提示"));
    EXPECT_EQ(TextOf(warning), Wide("程序正在运行中...\r\n请勿重复运行..."));
    Screenshot(L"second-start");
    PostMessageW(warning, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(Stop(second, 10000), 0);
    EXPECT_TRUE(Running(first));
    EXPECT_TRUE(WindowsOf(second.id).empty());

    // A right click on the icon shows the menu beside the cursor (its texts and order are checked
    // in-process; here the sixth item must open the about window and the seventh must quit).
    POINT icon = FirstTrayIcon();
    Click(icon.x, icon.y, true);
    Menu menu;
    ASSERT_TRUE(WaitFor([&] { return (menu = OpenMenu()).window != nullptr; }));
    EXPECT_LE(std::abs(menu.rect.top - (icon.y - 5)), 1);
    EXPECT_LE(menu.rect.left, icon.x);
    Screenshot(L"tray-menu");

    // "关于" opens the about window.
    ChooseMenuItem(menu, 5, 7);
    HWND about = nullptr;
    EXPECT_TRUE(WaitFor([&] {
        about = WindowOf(first.id, L"LumenoForm", Wide("Lumeno   一个全新的开始"));
        return about && IsWindowVisible(about);
    }));
    Screenshot(L"about");

    // "退出" ends the program with 0.
    Click(icon.x, icon.y, true);
    ASSERT_TRUE(WaitFor([&] { return (menu = OpenMenu()).window != nullptr; }));
    ChooseMenuItem(menu, 6, 7);
    EXPECT_EQ(Stop(first, 10000), 0);
}

} // namespace
