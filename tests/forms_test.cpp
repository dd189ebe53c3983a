// Each window as its definition builds it: size, centring, flags, its controls at their rectangles
// and visibility, the hand cursor, the tray menu, the Esc key and dragging by the background.
#include <gtest/gtest.h>

#include "support/Fixtures.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <windows.h>

#include "assets/resource.h"
#include "support/Child.h"
#include "trail/Trail.h"
#include "ui/Forms.h"
#include "ui/Runtime.h"
#include "ui/Text.h"
#include "ui/win32/Internal.h"

namespace {
using namespace ui;

// What the window system was asked to create, caught before any created event can change it.
struct Creation {
    RECT rect;
    DWORD style, exStyle;
};
std::map<HWND, Creation> creations;

LRESULT CALLBACK RecordCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTW* cs = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        creations[reinterpret_cast<HWND>(wParam)] = {
            {cs->x, cs->y, cs->x + cs->cx, cs->y + cs->cy}, DWORD(cs->style), cs->dwExStyle};
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct CreationHook {
    HHOOK hook = SetWindowsHookExW(WH_CBT, RecordCreation, nullptr, GetCurrentThreadId());
    CreationHook() { creations.clear(); }
    ~CreationHook() { UnhookWindowsHookEx(hook); }
};

struct WindowCase {
    uint32_t id;
    int width, height;
    bool visible, taskbar, topmost;
    const char* title;
};

constexpr WindowCase mainWindow{MainForm, 181, 169, false, false, true, ""};
constexpr WindowCase windowCases[] = {
    {ToolboxForm, 380, 230, false, true, true, "Lumeno助手"},
    {UpdateForm, 415, 250, true, true, false, ""},
    {WelcomeForm, 300, 130, true, true, false, ""},
    {AboutForm, 483, 247, true, true, false, "Lumeno   一个全新的开始"},
};

struct ControlCase {
    uint32_t window, id;
    Kind kind;
    int left, top, width, height;
    bool visible, hand;
};

constexpr Kind Button = Kind::PictureButton, Box = Kind::PictureBox, Label = Kind::Label,
               Edit = Kind::EditBox, Timer = Kind::Timer;

constexpr ControlCase mainControls[] = {
    {MainForm, mainform::图片框1, Box, 24, 24, 29, 29, false, false},
    {MainForm, mainform::图片框2, Box, 80, 80, 29, 29, false, false},
    {MainForm, mainform::时钟1, Timer, 136, 72, 40, 40, false, false},
};

constexpr ControlCase controlCases[] = {
    {ToolboxForm, toolbox::最小化, Button, 310, 0, 28, 28, true, false},
    {ToolboxForm, toolbox::关闭窗口, Button, 338, 0, 28, 28, true, false},
    {ToolboxForm, toolbox::打开计算器, Button, 20, 50, 70, 70, true, true},
    {ToolboxForm, toolbox::画图工具, Button, 110, 50, 70, 70, true, true},
    {ToolboxForm, toolbox::手机归属地, Button, 200, 50, 70, 70, true, true},
    {ToolboxForm, toolbox::打开记事本, Button, 290, 50, 70, 70, true, true},
    {ToolboxForm, toolbox::导航, Button, 20, 136, 70, 70, true, true},
    {ToolboxForm, toolbox::百度一下, Button, 110, 136, 70, 70, true, true},
    {ToolboxForm, toolbox::电脑应用, Button, 200, 136, 70, 70, true, true},
    {ToolboxForm, toolbox::手机应用, Button, 290, 136, 70, 70, true, true},
    {ToolboxForm, toolbox::返回, Button, 0, 35, 56, 30, false, true},
    {ToolboxForm, toolbox::手机号码标签, Label, 56, 72, 120, 32, false, false},
    {ToolboxForm, toolbox::编辑框1, Edit, 168, 72, 120, 24, false, false},
    {ToolboxForm, toolbox::查询, Button, 288, 72, 56, 30, false, true},
    {ToolboxForm, toolbox::卡号归属地标签, Label, 56, 104, 120, 24, false, false},
    {ToolboxForm, toolbox::卡号归属地显示框, Label, 168, 104, 152, 24, false, false},
    {ToolboxForm, toolbox::卡号类型标签, Label, 56, 136, 120, 24, false, false},
    {ToolboxForm, toolbox::卡号类型显示框, Label, 168, 136, 152, 24, false, false},
    {ToolboxForm, toolbox::邮政编码标签, Label, 56, 168, 120, 24, false, false},
    {ToolboxForm, toolbox::邮政编码显示框, Label, 168, 168, 152, 24, false, false},
    {ToolboxForm, toolbox::区号标签, Label, 56, 200, 120, 24, false, false},
    {ToolboxForm, toolbox::区号显示框, Label, 168, 200, 152, 24, false, false},
    {ToolboxForm, toolbox::时钟1, Timer, 632, 120, 32, 32, false, false},
    {UpdateForm, updateform::图形按钮2, Button, 139, 104, 136, 48, false, true},
    {UpdateForm, updateform::图形按钮3, Button, 376, 0, 28, 28, true, false},
    {UpdateForm, updateform::编辑框1, Edit, 272, 224, 88, 16, false, false},
    {UpdateForm, updateform::图形按钮1, Button, 128, 176, 136, 48, false, true},
    {UpdateForm, updateform::透明标签2, Label, 75, 96, 264, 64, false, false},
    {UpdateForm, updateform::透明标签1, Label, 75, 96, 264, 64, false, false},
    {WelcomeForm, welcome::图形按钮2, Button, 78, 72, 48, 32, true, false},
    {WelcomeForm, welcome::图形按钮1, Button, 174, 72, 48, 32, true, false},
    {WelcomeForm, welcome::图形按钮3, Button, 264, 0, 35, 35, true, false},
    {AboutForm, about::图形按钮1, Button, 447, 0, 36, 36, true, false},
};

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

std::wstring TitleOf(HWND hwnd) {
    wchar_t title[128] = {};
    GetWindowTextW(hwnd, title, 128);
    return title;
}

RECT ScreenRect(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

std::string Describe(const RECT& r) {
    std::ostringstream s;
    s << r.left << "," << r.top << " " << (r.right - r.left) << "x" << (r.bottom - r.top);
    return s.str();
}

std::string Expected(int left, int top, int width, int height) {
    return Describe({left, top, left + width, top + height});
}

// Failures of one check, as lines; empty when all is well. Shared by the test and the child.
using Failures = std::vector<std::string>;

void CheckWindow(const WindowCase& w, Failures& out) {
    HWND hwnd = WindowHandle(WindowRef(w.id));
    std::string name = "window " + std::to_string(w.id);
    if (!hwnd || !creations.count(hwnd)) {
        out.push_back(name + ": not created");
        return;
    }
    const Creation& c = creations[hwnd];
    std::string centred = Expected((1024 - w.width) / 2, (768 - w.height) / 2, w.width, w.height);
    if (Describe(c.rect) != centred)
        out.push_back(name + " created at " + Describe(c.rect) + ", not " + centred);
    if (c.style & WS_VISIBLE) out.push_back(name + ": created visible");
    if (c.style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER)) out.push_back(name + ": has a border");
    bool app = c.exStyle & WS_EX_APPWINDOW, tool = c.exStyle & WS_EX_TOOLWINDOW;
    if (app != w.taskbar || tool == w.taskbar) out.push_back(name + ": taskbar flag wrong");
    if (bool(c.exStyle & WS_EX_TOPMOST) != w.topmost) out.push_back(name + ": topmost flag wrong");
    if (TitleOf(hwnd) != Widen(w.title)) out.push_back(name + ": title " + Narrow(TitleOf(hwnd)));
}

void CheckControl(const ControlCase& cc, Failures& out) {
    ControlRef ref{cc.window, cc.id};
    std::string name = std::string(Definition(cc.window).controls[cc.id - 1].name);
    std::string expected = Expected(cc.left, cc.top, cc.width, cc.height);
    HWND hwnd = WindowHandle(ref);
    const wchar_t* cls = cc.kind == Button ? L"LumenoPictureButton"
                         : cc.kind == Box  ? L"LumenoPictureBox"
                         : cc.kind == Edit ? L"Edit"
                                           : nullptr;
    if (!cls) {
        // Labels and timers are drawn or kept by the window; they have no window of their own.
        if (hwnd) out.push_back(name + ": has a window");
        RECT r{GetProperty(ref, prop::Left), GetProperty(ref, prop::Top), 0, 0};
        r.right = r.left + GetProperty(ref, prop::Width),
        r.bottom = r.top + GetProperty(ref, prop::Height);
        if (Describe(r) != expected)
            out.push_back(name + " at " + Describe(r) + ", not " + expected);
        if (cc.kind == Label && GetProperty(ref, prop::Visible) != cc.visible)
            out.push_back(name + ": visibility wrong");
        return;
    }
    if (!hwnd || lstrcmpiW(ClassOf(hwnd).c_str(), cls) != 0 || !creations.count(hwnd)) {
        out.push_back(name + ": not a " + Narrow(cls));
        return;
    }
    const Creation& c = creations[hwnd];
    if (Describe(c.rect) != expected)
        out.push_back(name + " created at " + Describe(c.rect) + ", not " + expected);
    if (bool(c.style & WS_VISIBLE) != cc.visible)
        out.push_back(name + ": visibility at creation wrong");
    RECT placed = ScreenRect(hwnd);
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&placed), 2);
    if (Describe(placed) != expected) out.push_back(name + " placed at " + Describe(placed));
    // The cursor a control shows: picture buttons choose it, the edit box keeps its class cursor.
    HCURSOR want = LoadCursorW(nullptr, cc.hand           ? IDC_HAND
                                        : cc.kind == Edit ? IDC_IBEAM
                                                          : IDC_ARROW);
    HCURSOR shown = nullptr;
    if (cc.kind == Button) {
        SendMessageW(hwnd, WM_SETCURSOR, WPARAM(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        shown = GetCursor();
    } else {
        shown = reinterpret_cast<HCURSOR>(GetClassLongPtrW(hwnd, GCLP_HCURSOR));
    }
    if (cc.kind != Box && shown != want) out.push_back(name + ": wrong cursor");
}

void DestroyAll() {
    for (uint32_t w = 1; w <= WindowCount; ++w)
        ui::DestroyWindow(w);
    for (int i = 0;
         i < 100 && (IsLoaded(1) || IsLoaded(2) || IsLoaded(3) || IsLoaded(4) || IsLoaded(5));
         ++i) {
        ProcessEvents();
        Sleep(1);
    }
}

// Runs pending messages until `done` holds or about a second has passed.
template <class F> bool PumpUntil(F done) {
    for (int i = 0; i < 200; ++i) {
        ProcessEvents();
        if (done()) return true;
        Sleep(5);
    }
    return false;
}

class Forms : public testing::Test {
  protected:
    void SetUp() override {
        testsupport::SilenceEffects();
        ReplaceableEffects().messageBox = [](const Text&, int, const Text&) { return 0; };
        SetCursorPos(1000, 740);
    }
    void TearDown() override {
        DestroyAll();
        RestoreEffects();
    }
};

std::string Join(const Failures& f) {
    std::string s;
    for (const std::string& line : f)
        s += line + "\n";
    return s;
}

TEST_F(Forms, EachWindowBuildsAsDefined) {
    ASSERT_EQ(ScreenWidth(), 1024);
    ASSERT_EQ(ScreenHeight(), 768);
    for (const WindowCase& w : windowCases) {
        Failures failures;
        {
            CreationHook hook;
            ASSERT_TRUE(LoadWindow(w.id));
            CheckWindow(w, failures);
            for (const ControlCase& c : controlCases)
                if (c.window == w.id) CheckControl(c, failures);
        }
        size_t count = 0;
        for (const ControlCase& c : controlCases)
            count += c.window == w.id;
        EXPECT_EQ(win32::FindForm(w.id)->controls.size(), count) << "window " << w.id;
        // Shown by the load itself when its flag says so (the toolbox shows itself by animation).
        if (w.visible) {
            EXPECT_TRUE(IsWindowVisible(WindowHandle(WindowRef(w.id)))) << w.id;
        }
        if (w.id != ToolboxForm) { // the opening animation moves and resizes the toolbox
            EXPECT_EQ(Describe(ScreenRect(WindowHandle(WindowRef(w.id)))),
                      Expected((1024 - w.width) / 2, (768 - w.height) / 2, w.width, w.height));
        }
        EXPECT_EQ(Join(failures), "") << "window " << w.id;
        DestroyAll();
    }
}

TEST_F(Forms, TimersStartWithTheirPeriod) {
    ASSERT_TRUE(LoadWindow(ToolboxForm));
    EXPECT_EQ(GetProperty({ToolboxForm, toolbox::时钟1}, prop::Period), 100);
}

TEST_F(Forms, EditBoxSettings) {
    ASSERT_TRUE(LoadWindow(ToolboxForm));
    ASSERT_TRUE(LoadWindow(UpdateForm));
    HWND number = WindowHandle({ToolboxForm, toolbox::编辑框1});
    HWND version = WindowHandle({UpdateForm, updateform::编辑框1});
    auto fontHeight = [](HWND h) {
        LOGFONTW lf{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)), sizeof lf, &lf);
        return std::abs(lf.lfHeight);
    };
    // The lookup box: thin single-line border, 19 px, 11 characters, selection hidden unfocused.
    // A one-pixel frame around a white inside.
    SetProperty({ToolboxForm, toolbox::编辑框1}, prop::Visible, 1);
    RedrawWindow(number, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
    HDC dc = GetWindowDC(number);
    EXPECT_NE(GetPixel(dc, 0, 12) & 0xFFFFFF, RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 1, 12) & 0xFFFFFF, RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 2, 12) & 0xFFFFFF, RGB(255, 255, 255));
    ReleaseDC(number, dc);
    EXPECT_FALSE(GetWindowLongW(number, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_FALSE(GetWindowLongW(number, GWL_STYLE) & (ES_NOHIDESEL | ES_MULTILINE));
    EXPECT_EQ(fontHeight(number), 19);
    EXPECT_EQ(SendMessageW(number, EM_GETLIMITTEXT, 0, 0), 11);
    EXPECT_EQ(GetText({ToolboxForm, toolbox::编辑框1}), "");
    // The update window's: "1.4", sunken, the default GUI font, no length limit.
    EXPECT_EQ(GetText({UpdateForm, updateform::编辑框1}), "1.4");
    EXPECT_TRUE(GetWindowLongW(version, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(version, WM_GETFONT, 0, 0)),
              GetStockObject(DEFAULT_GUI_FONT));
    EXPECT_GT(SendMessageW(version, EM_GETLIMITTEXT, 0, 0), 30000);
}

TEST_F(Forms, EscClosesTheActiveWindow) {
    struct Case {
        uint32_t window;
        uint32_t focus; // a control to hold the focus and receive the key, 0 the window
        WPARAM key;
        bool closes;
    } cases[] = {
        {ToolboxForm, 0, VK_ESCAPE, true},
        {ToolboxForm, toolbox::编辑框1, VK_ESCAPE, true}, // the edit box does not consume it
        {ToolboxForm, 0, VK_RETURN, false},
        {UpdateForm, 0, VK_ESCAPE, true},
        {WelcomeForm, 0, VK_ESCAPE, true},
        {AboutForm, 0, VK_ESCAPE, true},
        {AboutForm, 0, 'A', false},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(LoadWindow(c.window));
        HWND target = WindowHandle(WindowRef(c.window));
        SetForegroundWindow(target);
        if (c.focus) {
            SetProperty({c.window, c.focus}, prop::Visible, 1);
            target = WindowHandle({c.window, c.focus});
            SetFocus(target);
        }
        PostMessageW(target, WM_KEYDOWN, c.key, 1);
        ProcessEvents();
        ProcessEvents();
        EXPECT_EQ(IsLoaded(c.window), !c.closes) << "window " << c.window << " key " << c.key;
        DestroyAll();
    }
}

// A press, a move and a release as hardware input, through the window system's own queue.
void Drag(POINT from, POINT to) {
    auto absolute = [](POINT p) {
        INPUT in{INPUT_MOUSE};
        in.mi.dx = LONG((p.x * 65536LL + ScreenWidth() - 1) / ScreenWidth());
        in.mi.dy = LONG((p.y * 65536LL + ScreenHeight() - 1) / ScreenHeight());
        in.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
        return in;
    };
    INPUT inputs[5] = {absolute(from), absolute(from), absolute(to), absolute(to), absolute(to)};
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[3].mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    inputs[4].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(5, inputs, sizeof(INPUT));
}

TEST_F(Forms, OnlyTheToolboxMovesWhenItsBackgroundIsDragged) {
    struct Case {
        uint32_t window;
        POINT start;      // client point pressed
        uint32_t showing; // a control made visible first, 0 none
        bool moves;
    } cases[] = {
        {ToolboxForm, {150, 20}, 0, true},
        {ToolboxForm,
         {100, 112},
         toolbox::卡号归属地标签,
         false},                           // a label is a control, not background
        {ToolboxForm, {45, 85}, 0, false}, // on a picture button
        {AboutForm, {100, 120}, 0, false},
        {UpdateForm, {100, 60}, 0, false},
        {WelcomeForm, {30, 100}, 0, false},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(LoadWindow(c.window));
        if (c.showing) SetProperty({c.window, c.showing}, prop::Visible, 1);
        HWND hwnd = WindowHandle(WindowRef(c.window));
        SetForegroundWindow(hwnd);
        ProcessEvents();
        RECT before = ScreenRect(hwnd);
        POINT from{before.left + c.start.x, before.top + c.start.y};
        Drag(from, {from.x + 40, from.y + 24});
        PumpUntil(
            [] { return !(GetAsyncKeyState(VK_LBUTTON) & 0x8000) && !GetQueueStatus(QS_INPUT); });
        ProcessEvents();
        RECT after = ScreenRect(hwnd);
        RECT moved = before;
        OffsetRect(&moved, 40, 24);
        EXPECT_EQ(Describe(after), Describe(c.moves ? moved : before)) << "window " << c.window;
        DestroyAll();
    }
}

// The hidden main window is made by the start-up sequence's load; its created event is the
// whole start-up, so it runs in a child copy of this program.
std::wstring ChildReport() {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + L"forms_test_main.txt";
}

struct MenuSeen {
    std::vector<std::string> items;
    RECT rect{};
    bool found = false;
};
MenuSeen menuSeen;

LRESULT CALLBACK ReadMenu(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_APP) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (HWND popup = FindWindowW(L"#32768", nullptr)) {
        menuSeen.found = true;
        GetWindowRect(popup, &menuSeen.rect);
        HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[64] = {};
            GetMenuStringW(menu, UINT(i), text, 64, MF_BYPOSITION);
            MENUITEMINFOW info{sizeof info, MIIM_FTYPE | MIIM_STATE};
            GetMenuItemInfoW(menu, UINT(i), TRUE, &info);
            std::string flags = (info.fType & MFT_SEPARATOR) ? "-sep" : "";
            if (info.fState & (MFS_CHECKED | MFS_DISABLED)) flags += "-state";
            menuSeen.items.push_back(Narrow(text) + flags);
        }
        EndMenu();
    }
    return 0;
}

LUMENO_CHILD_SCENARIO(main_window) {
    Effects& e = ReplaceableEffects();
    e.openUrl = [](const Text&) {};
    e.messageBox = [](const Text&, int, const Text&) { return 0; };
    e.exit = [](int) {};
    Failures failures;
    trail::CreateParticlePool();
    RegisterReleaseRoutine(trail::ReleaseParticlePool);
    {
        CreationHook hook;
        if (!LoadWindow(MainForm)) failures.push_back("main window not loaded");
        CheckWindow(mainWindow, failures);
        for (const ControlCase& c : mainControls)
            CheckControl(c, failures);
    }
    HWND main = WindowHandle(WindowRef(MainForm));
    SetProperty({MainForm, mainform::时钟1}, prop::Period, 0); // no trail while we look
    if (IsWindowVisible(main)) failures.push_back("main window shown");
    if (Describe(ScreenRect(main)) != Expected(421, 299, 181, 169))
        failures.push_back("main window moved");

    WNDCLASSW wc{};
    wc.lpfnWndProc = ReadMenu;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"FormsTestMenuReader";
    RegisterClassW(&wc);
    HWND reader = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
    SetCursorPos(600, 400);
    PostMessageW(reader, WM_APP, 0, 0);
    PopUpMenu(MainForm);
    ProcessEvents();
    std::vector<std::string> expected = {"打开工具箱", "网址导航", "软件推荐", "Lumeno官网",
                                         "软件更新",   "关于",     "退出"};
    if (!menuSeen.found)
        failures.push_back("no tray menu shown");
    else if (menuSeen.items != expected)
        failures.push_back("tray menu items wrong");
    // The menu's right edge 5 px left of the cursor, its top 5 px above it.
    if (menuSeen.found && (std::abs(menuSeen.rect.right - 595) > 1 || menuSeen.rect.top != 395))
        failures.push_back("tray menu at " + Describe(menuSeen.rect));

    PostMessageW(main, WM_KEYDOWN, VK_ESCAPE, 1);
    ProcessEvents();
    ProcessEvents();
    if (IsLoaded(MainForm)) failures.push_back("Esc left the main window open");

    std::ofstream(std::filesystem::path(ChildReport())) << Join(failures);
    return failures.empty() ? 0 : 1;
}

TEST_F(Forms, MainWindowBuildsAsDefinedWithItsMenu) {
    DeleteFileW(ChildReport().c_str());
    int code = testsupport::RunChild("main_window");
    std::string text;
    if (FILE* report = _wfopen(ChildReport().c_str(), L"rb")) {
        char buffer[512];
        while (size_t n = fread(buffer, 1, sizeof buffer, report))
            text.append(buffer, n);
        fclose(report);
    }
    EXPECT_EQ(code, 0) << text;
    EXPECT_EQ(text, "");
}

} // namespace
