// The run-time services around windows: the stored definition of an unloaded window, modal loads,
// loading an open window, timer periods, start position, always on top, processes, message box.
#include <gtest/gtest.h>

#include "support/Fixtures.h"

#include <functional>
#include <windows.h>

#include "ui/Forms.h"
#include "ui/Runtime.h"
#include "ui/Text.h"

namespace {
using namespace ui;

// Work posted to run inside whatever message loop is running then (a modal loop, a message box).
LRESULT CALLBACK StepProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        auto* step = reinterpret_cast<std::function<void()>*>(lParam);
        (*step)();
        delete step;
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND Stepper() {
    static HWND hwnd = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = StepProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ServicesTestStepper";
        RegisterClassW(&wc);
        return CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             wc.hInstance, nullptr);
    }();
    return hwnd;
}

void Post(std::function<void()> step) {
    PostMessageW(Stepper(), WM_APP, 0,
                 reinterpret_cast<LPARAM>(new std::function<void()>(std::move(step))));
}

HWND Handle(uint32_t window) {
    return WindowHandle(WindowRef(window));
}

RECT Rect(uint32_t window) {
    RECT r{};
    GetWindowRect(Handle(window), &r);
    return r;
}

class Services : public testing::Test {
  protected:
    void SetUp() override {
        testsupport::SilenceEffects();
        SetCursorPos(1000, 740);
    }
    void TearDown() override {
        RuntimeObservers().created = nullptr;
        testsupport::CloseAllWindows();
    }
};

TEST_F(Services, UnloadedWindowKeepsWrittenPlaceAndVisibilityForItsNextLoad) {
    const ControlRef window = WindowRef(WelcomeForm);
    const ControlRef close{WelcomeForm, welcome::图形按钮3}, no{WelcomeForm, welcome::图形按钮2};
    ASSERT_FALSE(IsLoaded(WelcomeForm));
    SetProperty(window, prop::Left, 100);
    SetProperty(window, prop::Top, 120);
    SetProperty(window, prop::Visible, 0);
    SetProperty(close, prop::Left, 200);
    SetProperty(no, prop::Visible, 0);
    EXPECT_EQ(GetProperty(window, prop::Left), 100);
    EXPECT_EQ(GetProperty(window, prop::Top), 120);
    EXPECT_EQ(GetProperty(window, prop::Visible), 0);
    EXPECT_EQ(GetProperty(window, prop::Width), 300);
    EXPECT_EQ(GetProperty(close, prop::Left), 200);
    EXPECT_FALSE(IsLoaded(WelcomeForm)) << "a write does not load the window";

    ASSERT_TRUE(LoadWindow(WelcomeForm));
    RECT r = Rect(WelcomeForm);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 120);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_FALSE(IsWindowVisible(Handle(WelcomeForm)));
    EXPECT_EQ(GetProperty(close, prop::Left), 200);
    EXPECT_EQ(GetProperty(no, prop::Visible), 0);

    ui::DestroyWindow(WelcomeForm);
    ProcessEvents();
    SetProperty(window, prop::Visible, 1);
    SetProperty(close, prop::Left, 264);
    SetProperty(no, prop::Visible, 1);
}

TEST_F(Services, WritesFromEightUpToAnUnloadedWindowDoNothing) {
    ASSERT_FALSE(IsLoaded(UpdateForm));
    ASSERT_FALSE(IsLoaded(ToolboxForm));
    SetText({UpdateForm, updateform::透明标签1}, "x");
    SetText({UpdateForm, updateform::编辑框1}, "9.9");
    SetProperty({ToolboxForm, toolbox::时钟1}, prop::Period, 5);
    SetProperty(WindowRef(AboutForm), prop::StartPosition, 3);
    SetProperty(WindowRef(AboutForm), prop::AlwaysOnTop, 1);
    EXPECT_EQ(GetText({UpdateForm, updateform::透明标签1}), "");
    // References that name nothing at all.
    SetProperty({0, 0}, prop::Visible, 1);
    SetProperty({WindowCount + 1, 1}, prop::Left, 1);
    SetProperty({UpdateForm, 99}, prop::Left, 1);
    SetText({UpdateForm, 99}, "x");
    EXPECT_EQ(GetProperty({UpdateForm, 99}, prop::Left), 0);
    EXPECT_FALSE(LoadWindow(0));
    EXPECT_FALSE(LoadWindow(WindowCount + 1));

    // Still running, and the next loads build from the definitions.
    ASSERT_TRUE(LoadWindow(UpdateForm));
    EXPECT_EQ(GetText({UpdateForm, updateform::透明标签1}), "软件已是最新版本！");
    EXPECT_EQ(GetText({UpdateForm, updateform::编辑框1}), "1.4");
    ASSERT_TRUE(LoadWindow(AboutForm));
    EXPECT_FALSE(GetWindowLongW(Handle(AboutForm), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(IsZoomed(Handle(AboutForm)));
}

TEST_F(Services, LoadingAnOpenWindowOnlyActivatesIt) {
    struct Seen {
        uint32_t window;
        bool visible;
    };
    std::vector<Seen> created;
    RuntimeObservers().created = [&](uint32_t window) {
        created.push_back({window, IsWindowVisible(Handle(window)) != 0});
    };
    ASSERT_TRUE(LoadWindow(AboutForm));
    ASSERT_TRUE(LoadWindow(WelcomeForm));
    HWND about = Handle(AboutForm);
    ASSERT_EQ(created.size(), 2u);
    EXPECT_FALSE(created[0].visible) << "created runs inside the load, before the window shows";

    SetForegroundWindow(Handle(WelcomeForm));
    ASSERT_TRUE(LoadWindow(AboutForm));
    EXPECT_EQ(GetForegroundWindow(), about);
    ShowWindow(about, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(about));
    ASSERT_TRUE(LoadWindow(AboutForm));
    EXPECT_FALSE(IsIconic(about));
    EXPECT_EQ(Handle(AboutForm), about);
    EXPECT_EQ(created.size(), 2u) << "created ran again";
}

TEST_F(Services, ModalLoadDisablesTheOthersUntilDestroyed) {
    ASSERT_TRUE(LoadWindow(WelcomeForm));
    ASSERT_TRUE(LoadWindow(UpdateForm));
    HWND welcome = Handle(WelcomeForm), update = Handle(UpdateForm);
    int steps = 0;
    bool othersDisabled = false, escIgnored = false, hiddenStillWaiting = false;
    Post([&] {
        ++steps;
        othersDisabled = !IsWindowEnabled(welcome) && !IsWindowEnabled(update) &&
                         IsWindowEnabled(Handle(AboutForm));
        PostMessageW(welcome, WM_KEYDOWN, VK_ESCAPE, 1); // a disabled window does not close
        Post([&] {
            ++steps;
            escIgnored = IsLoaded(WelcomeForm);
            SetProperty(WindowRef(AboutForm), prop::Visible, 0);
            Post([&] {
                ++steps;
                hiddenStillWaiting = IsLoaded(AboutForm);
                ui::DestroyWindow(AboutForm);
            });
        });
    });
    ASSERT_TRUE(LoadWindow(AboutForm, std::nullopt, true));
    EXPECT_EQ(steps, 3) << "the modal load returned before its window was destroyed";
    EXPECT_TRUE(othersDisabled);
    EXPECT_TRUE(escIgnored);
    EXPECT_TRUE(hiddenStillWaiting);
    EXPECT_FALSE(IsLoaded(AboutForm));
    EXPECT_TRUE(IsWindowEnabled(welcome));
    EXPECT_TRUE(IsWindowEnabled(update));
    for (int i = 0; i < 5 && steps < 3; ++i)
        ProcessEvents();
}

TEST_F(Services, ModalLoadOfAHiddenWindowWaitsInTheWriteThatShowsIt) {
    ASSERT_TRUE(LoadWindow(WelcomeForm));
    HWND welcome = Handle(WelcomeForm);
    SetProperty(WindowRef(AboutForm), prop::Visible, 0); // its stored definition: hidden at load
    bool loadReturned = false, writeReturned = false;
    struct {
        bool ran = false, afterLoad = false, insideWrite = false, othersDisabled = false;
    } step;
    Post([&] {
        step = {true, loadReturned, !writeReturned, !IsWindowEnabled(welcome)};
        ui::DestroyWindow(AboutForm);
    });
    ASSERT_TRUE(LoadWindow(AboutForm, std::nullopt, true));
    loadReturned = true;
    EXPECT_FALSE(step.ran) << "the load waited although its window was hidden";
    EXPECT_TRUE(IsLoaded(AboutForm));
    SetProperty(WindowRef(AboutForm), prop::Visible, 1);
    writeReturned = true;
    EXPECT_TRUE(step.ran);
    EXPECT_TRUE(step.afterLoad);
    EXPECT_TRUE(step.insideWrite);
    EXPECT_TRUE(step.othersDisabled);
    EXPECT_FALSE(IsLoaded(AboutForm));
    EXPECT_TRUE(IsWindowEnabled(welcome));
    SetProperty(WindowRef(AboutForm), prop::Visible, 1);
}

// Tick events of a timer over `ms`, with every message handled as usual meanwhile.
int CountTicks(ControlRef timer, int ms, const std::function<void()>& meanwhile = {}) {
    int ticks = 0;
    RuntimeObservers().tick = [&](ControlRef ref) { ticks += ref == timer; };
    DWORD start = GetTickCount();
    while (GetTickCount() - start < DWORD(ms)) {
        ProcessEvents();
        if (meanwhile) meanwhile();
        Sleep(2);
    }
    RuntimeObservers().tick = nullptr;
    return ticks;
}

TEST_F(Services, TimerPeriodWrites) {
    ASSERT_TRUE(LoadWindow(ToolboxForm));
    const ControlRef timer{ToolboxForm, toolbox::时钟1};
    SetProperty(timer, prop::Period, -5); // counts as 0: stopped
    EXPECT_EQ(GetProperty(timer, prop::Period), 0);
    EXPECT_EQ(CountTicks(timer, 250), 0);
    SetProperty(timer, prop::Period, 30);
    EXPECT_EQ(GetProperty(timer, prop::Period), 30);
    EXPECT_GE(CountTicks(timer, 300), 3);
    // Writing the period in force over and over, faster than it expires: the ticks keep coming.
    EXPECT_GE(CountTicks(timer, 300, [&] { SetProperty(timer, prop::Period, 30); }), 3);
    SetProperty(timer, prop::Period, 0);
    EXPECT_EQ(CountTicks(timer, 150), 0);
}

TEST_F(Services, StartPositionActsOnlyWhileVisible) {
    const ControlRef about = WindowRef(AboutForm);
    ASSERT_TRUE(LoadWindow(AboutForm));
    ASSERT_TRUE(LoadWindow(WelcomeForm));
    SetProperty(about, prop::Left, 10);
    SetProperty(about, prop::Top, 20);
    SetProperty(about, prop::Visible, 0);
    SetProperty(about, prop::StartPosition, 1);
    EXPECT_EQ(Rect(AboutForm).left, 10);
    EXPECT_EQ(Rect(AboutForm).top, 20);
    SetProperty(about, prop::Visible, 1); // shown where it was, and activated
    EXPECT_EQ(Rect(AboutForm).left, 10);
    EXPECT_EQ(Rect(AboutForm).top, 20);
    EXPECT_EQ(GetForegroundWindow(), Handle(AboutForm));
    SetProperty(about, prop::StartPosition, 1);
    EXPECT_EQ(Rect(AboutForm).left, (1024 - 483) / 2);
    EXPECT_EQ(Rect(AboutForm).top, (768 - 247) / 2);
    // A minimised window is restored first, then centred for its own size.
    SetProperty(about, prop::Left, 10);
    ShowWindow(Handle(AboutForm), SW_MINIMIZE);
    SetProperty(about, prop::StartPosition, 1);
    EXPECT_FALSE(IsIconic(Handle(AboutForm)));
    RECT r = Rect(AboutForm);
    EXPECT_EQ(r.left, (1024 - 483) / 2);
    EXPECT_EQ(r.top, (768 - 247) / 2);
    EXPECT_EQ(r.right - r.left, 483);
}

TEST_F(Services, ControlVisibilityIsItsOwnFlag) {
    ASSERT_TRUE(LoadWindow(AboutForm));
    const ControlRef close{AboutForm, about::图形按钮1};
    SetProperty(WindowRef(AboutForm), prop::Visible, 0);
    EXPECT_EQ(GetProperty(close, prop::Visible), 1) << "a hidden window's control is still shown";
    SetProperty(close, prop::Visible, 0);
    EXPECT_EQ(GetProperty(close, prop::Visible), 0);
    SetProperty(WindowRef(AboutForm), prop::Visible, 1);
    EXPECT_EQ(GetProperty(close, prop::Visible), 0);
    EXPECT_FALSE(IsWindowVisible(WindowHandle(close)));
}

TEST_F(Services, AlwaysOnTopNeitherMovesNorActivates) {
    ASSERT_TRUE(LoadWindow(AboutForm));
    ASSERT_TRUE(LoadWindow(WelcomeForm));
    HWND about = Handle(AboutForm);
    SetForegroundWindow(Handle(WelcomeForm));
    RECT before = Rect(AboutForm);
    SetProperty(WindowRef(AboutForm), prop::AlwaysOnTop, 1);
    EXPECT_TRUE(GetWindowLongW(about, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetProperty(WindowRef(AboutForm), prop::AlwaysOnTop), 1);
    SetProperty(WindowRef(AboutForm), prop::AlwaysOnTop, 0);
    EXPECT_FALSE(GetWindowLongW(about, GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT after = Rect(AboutForm);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_EQ(GetForegroundWindow(), Handle(WelcomeForm));
}

TEST_F(Services, ProcessListHoldsThisProgram) {
    EXPECT_EQ(LowerAscii(ExecutableName()), "services_test.exe");
    bool found = false;
    for (const ProcessEntry& p : ProcessList())
        found |= p.id == GetCurrentProcessId() && p.name == ExecutableName();
    EXPECT_TRUE(found);
}

HWND FindMessageBox() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM out) {
            wchar_t name[16] = {};
            GetClassNameW(hwnd, name, 16);
            if (std::wstring(name) != L"#32770") return TRUE;
            *reinterpret_cast<HWND*>(out) = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

TEST_F(Services, MessageBoxRecordedOrReal) {
    // Tests replace it with a recorder, which sees exactly what the caller gave.
    Text seenText, seenTitle;
    int seenStyle = -1;
    ReplaceableEffects().messageBox = [&](const Text& text, int style, const Text& title) {
        seenText = text, seenStyle = style, seenTitle = title;
        return 5;
    };
    EXPECT_EQ(ShowMessageBox("程序正在运行中...\r\n请勿重复运行...", 48, "温馨提示"), 5);
    EXPECT_EQ(seenText, "程序正在运行中...\r\n请勿重复运行...");
    EXPECT_EQ(seenStyle, 48);
    EXPECT_EQ(seenTitle, "温馨提示");

    // The real one: no owner, task-modal, and the answer mapped to 0..6.
    RestoreEffects();
    ASSERT_TRUE(LoadWindow(WelcomeForm));
    struct Case {
        int style;
        WPARAM answer;
        int code;
    } cases[] = {{MB_OK, IDOK, 0},
                 {MB_OKCANCEL, IDCANCEL, 1},
                 {MB_ABORTRETRYIGNORE, IDABORT, 2},
                 {MB_RETRYCANCEL, IDRETRY, 3},
                 {MB_ABORTRETRYIGNORE, IDIGNORE, 4},
                 {MB_YESNO, IDYES, 5},
                 {MB_YESNO | MB_ICONWARNING, IDNO, 6}};
    for (const Case& c : cases) {
        bool found = false, owned = true, welcomeEnabled = true;
        std::wstring title;
        std::function<void()> answer = [&] {
            HWND box = FindMessageBox();
            if (!box) return Post(answer); // not up yet
            found = true;
            owned = GetWindow(box, GW_OWNER) != nullptr;
            welcomeEnabled = IsWindowEnabled(Handle(WelcomeForm));
            wchar_t text[64] = {};
            GetWindowTextW(box, text, 64);
            title = text;
            PostMessageW(box, WM_COMMAND, c.answer, 0);
        };
        Post(answer);
        EXPECT_EQ(ShowMessageBox("内容", c.style, "温馨提示"), c.code) << c.style;
        EXPECT_TRUE(found);
        EXPECT_FALSE(owned);
        EXPECT_FALSE(welcomeEnabled) << "task-modal: the program's windows are disabled";
        EXPECT_EQ(title, Widen("温馨提示"));
        EXPECT_TRUE(IsWindowEnabled(Handle(WelcomeForm)));
    }
}

} // namespace
