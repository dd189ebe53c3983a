// The application shell: single instance, tray icon and menu, welcome and about windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <windows.h>
#include <shellapi.h>

#include "app/Guard.h"
#include "app/Tray.h"
#include "support/Child.h"
#include "trail/Trail.h"
#include "ui/Addresses.h"
#include "ui/Forms.h"
#include "ui/Runtime.h"
#include "ui/Text.h"
#include "ui/win32/Internal.h"
#include "windows/About.h"
#include "windows/Welcome.h"

namespace {

// ---- Single instance: real child processes from copies of this program -------------------------

// A child that passes the guard stays up for a while and ends with 10; one that is stopped shows
// the warning through a recorder and ends through the real exit with 0.
LUMENO_CHILD_SCENARIO(Guarded) {
    ui::ReplaceableEffects().messageBox = [](const ui::Text& text, int style, const ui::Text& title) {
        bool exact = text == "程序正在运行中...\r\n请勿重复运行..." && title == "温馨提示" && style == 48;
        ExitProcess(exact ? 0 : 21); // the guard's own exit follows; a wrong message shows as 21
        return 0;
    };
    trail::CreateParticlePool();
    ui::LoadWindow(ui::MainForm);
    // Past the guard: tell the parent, which waits for this before starting a second copy.
    if (HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\lumeno.test.ready")) SetEvent(ready);
    Sleep(2500);
    return 10;
}

std::wstring CopyInFolder(const std::wstring& folder, const std::string& exeName) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring dir = std::wstring(temp) + folder;
    CreateDirectoryW(dir.c_str(), nullptr);
    std::wstring target = dir + L"\\" + std::wstring(exeName.begin(), exeName.end());
    CopyFileW(testsupport::CopyOfThisProgram("guard_source.exe").c_str(), target.c_str(), FALSE);
    return target;
}

HANDLE Start(const std::wstring& exe) {
    std::wstring line = L"\"" + exe + L"\" --child=Guarded";
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

DWORD WaitCode(HANDLE process) {
    DWORD code = 99;
    if (WaitForSingleObject(process, 20000) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
    else TerminateProcess(process, 98);
    CloseHandle(process);
    return code;
}

TEST(Guard, SecondInstanceByWholeNameInAnyCase) {
    struct Case {
        const char* what;
        const char* first;
        const char* second;
        DWORD secondCode; // 0 stopped by the guard, 10 ran beside the first
    } cases[] = {
        {"same name twice", "lumguard.exe", "lumguard.exe", 0},
        {"same name in another letter case", "lumguard.exe", "LUMGUARD.EXE", 0},
        {"a differently named copy", "lumguard.exe", "otherguard.exe", 10},
        {"another program whose name ends with ours", "xlumguard.exe", "lumguard.exe", 10},
    };
    HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, L"Local\\lumeno.test.ready");
    int n = 0;
    for (const Case& c : cases) {
        std::wstring folder = std::to_wstring(n++);
        HANDLE first = Start(CopyInFolder(L"guard_a" + folder, c.first));
        ASSERT_TRUE(first) << c.what;
        ASSERT_EQ(WaitForSingleObject(ready, 15000), WAIT_OBJECT_0) << c.what;
        DWORD second = WaitCode(Start(CopyInFolder(L"guard_b" + folder, c.second)));
        EXPECT_EQ(second, c.secondCode) << c.what;
        EXPECT_EQ(WaitCode(first), 10u) << c.what << ": the first instance must be left alone";
    }
    CloseHandle(ready);
}

TEST(Guard, TwoCopiesStartedTogetherLeaveExactlyOne) {
    std::wstring a = CopyInFolder(L"guard_a", "lumtwin.exe");
    std::wstring b = CopyInFolder(L"guard_b", "lumtwin.exe");
    for (int round = 0; round < 3; ++round) {
        HANDLE one = Start(a), two = Start(b);
        DWORD codes[] = {WaitCode(one), WaitCode(two)};
        EXPECT_EQ((codes[0] == 10) + (codes[1] == 10), 1) << codes[0] << " " << codes[1];
        EXPECT_EQ((codes[0] == 0) + (codes[1] == 0), 1);
    }
}

// ---- The running program: tray, menu, welcome, about (recorders for effects outside) ----------

std::vector<std::string> opened;

class Shell : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        trail::CreateParticlePool();
        ui::RegisterReleaseRoutine(trail::ReleaseParticlePool);
        ui::LoadWindow(ui::MainForm); // the real start-up: guard, tray icon, welcome, particles
    }
    void SetUp() override {
        opened.clear();
        ui::ReplaceableEffects().openUrl = [](const ui::Text& url) { opened.push_back(url); };
        ui::ReplaceableEffects().shellExecute = [](const ui::Text& url) { opened.push_back(url); };
    }
    void TearDown() override {
        for (uint32_t w : {ui::ToolboxForm, ui::UpdateForm, ui::AboutForm}) ui::DestroyWindow(w);
        Settle();
        ui::RestoreEffects();
    }
    static void Settle() {
        for (int i = 0; i < 5; ++i) {
            ui::ProcessEvents();
            Sleep(5);
        }
    }
    static HWND Handle(uint32_t window) { return ui::WindowHandle(ui::WindowRef(window)); }
    static void FreshWelcome() {
        ui::DestroyWindow(ui::WelcomeForm);
        Settle();
        ui::LoadWindow(ui::WelcomeForm);
    }
    static bool TrayIconExists() {
        NOTIFYICONDATAW d{sizeof d};
        d.hWnd = Handle(ui::MainForm);
        d.uID = 1;
        return Shell_NotifyIconW(NIM_MODIFY, &d);
    }
};

TEST_F(Shell, StartUpShowsTheIconAndTheWelcomeWindowButNeverTheMainWindow) {
    EXPECT_TRUE(TrayIconExists());
    EXPECT_FALSE(IsWindowVisible(Handle(ui::MainForm)));
    EXPECT_TRUE(GetWindowLongW(Handle(ui::MainForm), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    ASSERT_TRUE(ui::IsLoaded(ui::WelcomeForm));
    RECT r;
    GetWindowRect(Handle(ui::WelcomeForm), &r);
    EXPECT_EQ(r.left, (1024 - 300) / 2);
    EXPECT_EQ(r.top, (768 - 130) / 2);
}

TEST_F(Shell, TrayCodes) {
    ui::win32::StoredWindow& toolbox = ui::win32::Stored(ui::ToolboxForm);
    struct Case {
        UINT message;
        bool showsToolbox;
    } cases[] = {
        {WM_MOUSEMOVE, false}, {WM_LBUTTONDOWN, false}, {WM_RBUTTONDOWN, false},
        {WM_LBUTTONUP, true},  {WM_LBUTTONDBLCLK, false},
    };
    for (const Case& c : cases) {
        toolbox.visible = false;
        SendMessageW(Handle(ui::MainForm), ui::win32::WM_APP_TRAY, 1, c.message);
        // The toolbox is not loaded: only its stored visible flag is set.
        EXPECT_EQ(toolbox.visible, c.showsToolbox) << std::hex << c.message;
        EXPECT_FALSE(ui::IsLoaded(ui::ToolboxForm));
    }
    toolbox.visible = false;
}

struct MenuSeen {
    std::vector<std::wstring> items;
    RECT rect{};
};
MenuSeen menuSeen;

void CALLBACK ReadAndCloseMenu(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (HWND menuWindow = FindWindowW(L"#32768", nullptr)) {
        GetWindowRect(menuWindow, &menuSeen.rect);
        HMENU menu = (HMENU)SendMessageW(menuWindow, MN_GETHMENU, 0, 0);
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[64] = {};
            GetMenuStringW(menu, UINT(i), text, 64, MF_BYPOSITION);
            menuSeen.items.push_back(text);
        }
    }
    EndMenu();
}

TEST_F(Shell, RightClickPopsTheSevenItemsBesideTheCursor) {
    menuSeen = {};
    SetCursorPos(600, 300);
    SetTimer(nullptr, 0, 300, ReadAndCloseMenu);
    app::OnTrayEvent(3);
    std::vector<std::wstring> expected;
    for (const char* item : {"打开工具箱", "网址导航", "软件推荐", "Lumeno官网", "软件更新", "关于", "退出"})
        expected.push_back(ui::Widen(item));
    EXPECT_EQ(menuSeen.items, expected);
    EXPECT_EQ(menuSeen.rect.right, 600 - 5);
    EXPECT_EQ(menuSeen.rect.top, 300 - 5);
}

void SendMouse(DWORD flags, int x, int y) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = LONG(x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1));
    in.mi.dy = LONG(y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1));
    in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
}

// While the menu is open the trail keeps ticking inside the menu's loop, and every tick lets
// events run: the menu's own clicks must still reach it.
void CALLBACK WiggleAndChooseAbout(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND menuWindow = FindWindowW(L"#32768", nullptr);
    if (!menuWindow) return;
    RECT r;
    GetWindowRect(menuWindow, &r);
    int itemHeight = (r.bottom - r.top - 4) / 7;
    POINT about{(r.left + r.right) / 2, r.top + 2 + itemHeight * 5 + itemHeight / 2};
    for (int i = 0; i < 30; ++i) { // moving over the menu spawns particles, so ticks are busy
        SendMouse(0, about.x + (i % 2 ? 3 : -3), about.y);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(5);
    }
    SendMouse(MOUSEEVENTF_LEFTDOWN, about.x, about.y);
    SendMouse(MOUSEEVENTF_LEFTUP, about.x, about.y);
    // A tick arrives before the menu has read the click.
    Sleep(20);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) DispatchMessageW(&msg);
}

TEST_F(Shell, MenuClicksReachTheMenuWhileTheTrailTicks) {
    ui::SetProperty({ui::MainForm, ui::mainform::时钟1}, ui::prop::Period, 1);
    SetCursorPos(600, 300);
    SetTimer(nullptr, 0, 300, WiggleAndChooseAbout);
    UINT_PTR rescue = SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
    app::OnTrayEvent(3);
    KillTimer(nullptr, rescue);
    EXPECT_TRUE(ui::IsLoaded(ui::AboutForm));
}

TEST_F(Shell, MenuItemsOpenTheirPagesAndWindows) {
    const ui::Text site = ui::BuiltInAddresses().vendorSite;
    app::OnMenuNavigation();
    app::OnMenuRecommended();
    app::OnMenuHomePage();
    EXPECT_EQ(opened, (std::vector<std::string>{site + "/dh", site + "/tj", site}));

    app::OnMenuUpdate();
    EXPECT_TRUE(ui::IsLoaded(ui::UpdateForm));
    EXPECT_TRUE(IsWindowEnabled(Handle(ui::WelcomeForm))); // not modal
    app::OnMenuAbout();
    app::OnMenuAbout();
    int abouts = 0;
    std::wstring title = ui::Widen("Lumeno   一个全新的开始");
    for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT)) {
        wchar_t text[64] = {};
        GetWindowTextW(h, text, 64);
        abouts += title == text;
    }
    EXPECT_EQ(abouts, 1);
}

TEST_F(Shell, EscClosesTheAboutWindow) {
    app::OnMenuAbout();
    ASSERT_TRUE(ui::IsLoaded(ui::AboutForm));
    PostMessageW(Handle(ui::AboutForm), WM_KEYDOWN, VK_ESCAPE, 0);
    Settle();
    EXPECT_FALSE(ui::IsLoaded(ui::AboutForm));
    app::OnMenuAbout();
    windows::OnAboutClose();
    Settle();
    EXPECT_FALSE(ui::IsLoaded(ui::AboutForm));
}

bool welcomeDisabledMeanwhile = false;
bool toolboxLoadedMeanwhile = false;

TEST_F(Shell, OpenToolboxFromTheMenuIsModalUntilTheToolboxIsDestroyed) {
    FreshWelcome();
    welcomeDisabledMeanwhile = toolboxLoadedMeanwhile = false;
    SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        toolboxLoadedMeanwhile = ui::IsLoaded(ui::ToolboxForm);
        welcomeDisabledMeanwhile = !IsWindowEnabled(Handle(ui::WelcomeForm));
        ui::DestroyWindow(ui::ToolboxForm);
    });
    app::OnMenuOpenToolbox();
    EXPECT_TRUE(toolboxLoadedMeanwhile);
    EXPECT_TRUE(welcomeDisabledMeanwhile);
    EXPECT_FALSE(ui::IsLoaded(ui::ToolboxForm));
    EXPECT_TRUE(IsWindowEnabled(Handle(ui::WelcomeForm)));
}

TEST_F(Shell, WelcomeAnswers) {
    const ui::Text guide = ui::BuiltInAddresses().vendorSite + "/dh";
    struct Case {
        const char* what;
        void (*answer)();
        std::vector<std::string> pages;
        bool welcomeLoaded, toolboxLoaded;
    } cases[] = {
        {"是", windows::OnWelcomeYes, {guide}, true, true},
        {"否", windows::OnWelcomeNo, {}, true, true},
        {"close", windows::OnWelcomeClose, {}, false, false},
    };
    for (const Case& c : cases) {
        FreshWelcome();
        opened.clear();
        c.answer();
        Settle();
        EXPECT_EQ(opened, c.pages) << c.what;
        EXPECT_EQ(ui::IsLoaded(ui::WelcomeForm), c.welcomeLoaded) << c.what;
        if (c.welcomeLoaded) {
            EXPECT_FALSE(IsWindowVisible(Handle(ui::WelcomeForm))) << c.what;
        }
        EXPECT_EQ(ui::IsLoaded(ui::ToolboxForm), c.toolboxLoaded) << c.what;
        // Not modal: nothing else is disabled while the toolbox is open.
        EXPECT_TRUE(IsWindowEnabled(Handle(ui::MainForm))) << c.what;
        ui::DestroyWindow(ui::ToolboxForm);
        Settle();
    }
    FreshWelcome();
    PostMessageW(Handle(ui::WelcomeForm), WM_KEYDOWN, VK_ESCAPE, 0);
    Settle();
    EXPECT_FALSE(ui::IsLoaded(ui::WelcomeForm));
    EXPECT_FALSE(ui::IsLoaded(ui::ToolboxForm));
    EXPECT_TRUE(opened.empty());
    ui::LoadWindow(ui::WelcomeForm);
}

TEST_F(Shell, TheIconComesBackWithANewTaskbarAndGoesAtExit) {
    ASSERT_TRUE(TrayIconExists());
    // As if Explorer restarted: the icon is lost, then the new taskbar announces itself.
    NOTIFYICONDATAW d{sizeof d};
    d.hWnd = Handle(ui::MainForm);
    d.uID = 1;
    Shell_NotifyIconW(NIM_DELETE, &d);
    ASSERT_FALSE(TrayIconExists());
    SendMessageW(Handle(ui::MainForm), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(TrayIconExists());

    int exitCode = -1;
    ui::ReplaceableEffects().exit = [&](int code) { exitCode = code; };
    app::OnMenuExit();
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(TrayIconExists());
}

// "退出" through the real exit, in a child: code 0 and the release routine once.
LUMENO_CHILD_SCENARIO(MenuExit) {
    trail::CreateParticlePool();
    ui::RegisterReleaseRoutine([] {
        static int runs = 0;
        if (++runs == 1 && trail::Particle(1)) {
            trail::ReleaseParticlePool();
            SetEnvironmentVariableA("LUMENO_RELEASED", "1");
        }
    });
    ui::LoadWindow(ui::MainForm);
    app::OnMenuExit();
    return 5; // not reached
}

TEST(ShellExit, QuitEndsTheProcessWithCodeZero) {
    EXPECT_EQ(testsupport::RunChildAs("MenuExit", "menu_exit_child.exe"), 0);
}

} // namespace
