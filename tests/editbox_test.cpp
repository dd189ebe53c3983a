// The toolbox's number box: only digits, "-" and "." get in, typed or pasted, at most 11 of them;
// the text stays as typed when the box loses the focus and when a picture button is clicked.
#include <gtest/gtest.h>

#include "support/Fixtures.h"

#include <string>
#include <windows.h>

#include "ui/Forms.h"
#include "ui/Runtime.h"
#include "ui/Text.h"

namespace {
using namespace ui;

constexpr ControlRef box{ToolboxForm, toolbox::编辑框1};
constexpr ControlRef query{ToolboxForm, toolbox::查询};

class NumberBox : public testing::Test {
  protected:
    HWND edit = nullptr;

    void SetUp() override {
        testsupport::SilenceEffects();
        SetCursorPos(1000, 740);
        ASSERT_TRUE(LoadWindow(ToolboxForm));
        // The lookup view, as its switch leaves it (the tiles would cover the query button).
        for (uint32_t tile :
             {toolbox::打开计算器, toolbox::画图工具, toolbox::手机归属地, toolbox::打开记事本,
              toolbox::导航, toolbox::百度一下, toolbox::电脑应用, toolbox::手机应用})
            SetProperty({ToolboxForm, tile}, prop::Visible, 0);
        SetProperty(box, prop::Visible, 1);
        SetProperty(query, prop::Visible, 1);
        edit = WindowHandle(box);
        SetForegroundWindow(WindowHandle(WindowRef(ToolboxForm)));
        SetFocus(edit);
        ProcessEvents();
        ASSERT_EQ(GetFocus(), edit);
    }
    void TearDown() override {
        testsupport::CloseAllWindows();
    }

    void Clear() { SetText(box, ""); }
    void TypeChars(const std::wstring& chars) {
        for (wchar_t ch : chars)
            SendMessageW(edit, WM_CHAR, ch, 1);
    }
};

// Key strokes as hardware input, through the queue, TranslateMessage and the box's own handling.
void PressKeys(std::initializer_list<WORD> keys, WORD modifier = 0) {
    std::vector<INPUT> inputs;
    auto key = [&](WORD vk, bool up) {
        INPUT in{INPUT_KEYBOARD};
        in.ki.wVk = vk;
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(in);
    };
    if (modifier) key(modifier, false);
    for (WORD vk : keys) {
        key(vk, false);
        key(vk, true);
    }
    if (modifier) key(modifier, true);
    SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
    for (int i = 0; i < 20 && GetQueueStatus(QS_INPUT); ++i) {
        ProcessEvents();
        Sleep(2);
    }
    ProcessEvents();
}

using testsupport::SetClipboard;

// The box's own right-click menu, its paste item chosen by its access key while the menu runs.
void PasteFromContextMenu(HWND edit) {
    SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
        if (HWND menu = FindWindowW(L"#32768", nullptr); menu && IsWindowVisible(menu)) {
            KillTimer(nullptr, id);
            PostMessageW(menu, WM_KEYDOWN, 'P', 1);
        }
    });
    RECT r;
    GetWindowRect(edit, &r);
    SendMessageW(edit, WM_CONTEXTMENU, WPARAM(edit), MAKELPARAM(r.left + 5, r.top + 5));
}

TEST_F(NumberBox, TypedCharacters) {
    struct Case {
        const wchar_t* typed;
        const char* kept;
    } cases[] = {
        {L"abcXYZ", ""},
        {L"0123456789", "0123456789"},
        {L"a1b2-c.3", "12-.3"},
        {L"1 2+3,4\t5", "12345"},
        {L"1\xFF12\x4E00"
         L"3",
         "13"},           // a full-width digit and a Chinese character are dropped
        {L"123\b", "12"}, // control keys pass
        {L"123456789012", "12345678901"},
        {L"--..--..--..", "--..--..--."},
    };
    for (const Case& c : cases) {
        Clear();
        TypeChars(c.typed);
        EXPECT_EQ(GetText(box), c.kept) << Narrow(c.typed);
    }
    // The same through the keyboard: A 1 - . B 2, then a backspace.
    Clear();
    PressKeys({'A', '1', VK_OEM_MINUS, VK_OEM_PERIOD, 'B', '2', '3', VK_BACK});
    EXPECT_EQ(GetText(box), "1-.2");
}

TEST_F(NumberBox, PastedText) {
    HWND owner = WindowHandle(WindowRef(ToolboxForm));
    struct Case {
        const char* before;
        const wchar_t* clipboard;
        const char* after;
    } cases[] = {
        {"", L"13a8-b.9", "138-.9"},
        {"", L"1380013800012345", "13800138000"},
        {"12", L"3x4", "1234"},
        {"99999999999", L"1", "99999999999"},
        {"", L"手机：13800138000", "13800138000"},
    };
    enum Way { Message, CtrlV, ShiftInsert, ContextMenu };
    for (Way way : {Message, CtrlV, ShiftInsert, ContextMenu}) {
        for (const Case& c : cases) {
            SetText(box, c.before);
            SendMessageW(edit, EM_SETSEL, 32767, 32767);
            SetClipboard(owner, c.clipboard);
            if (way == Message) SendMessageW(edit, WM_PASTE, 0, 0);
            if (way == CtrlV) PressKeys({'V'}, VK_CONTROL);
            if (way == ShiftInsert) PressKeys({VK_INSERT}, VK_SHIFT);
            if (way == ContextMenu) PasteFromContextMenu(edit);
            EXPECT_EQ(GetText(box), c.after) << "way " << way << ": " << Narrow(c.clipboard);
        }
    }
}

// What an input method delivers: single characters, and the result of a composition, which the
// edit control inserts itself, past WM_CHAR (here text already in the box stands for that result).
TEST_F(NumberBox, InputMethodText) {
    for (wchar_t ch : std::wstring(L"1手a2\xFF13-"))
        SendMessageW(edit, WM_IME_CHAR, ch, 1);
    ProcessEvents(); // the characters may come back as posted WM_CHAR messages
    EXPECT_EQ(GetText(box), "12-");

    SetText(box, "1a2手3");
    SendMessageW(edit, EM_SETSEL, 4, 4); // the caret after 手
    SendMessageW(edit, WM_IME_COMPOSITION, 0, 0);
    EXPECT_EQ(GetText(box), "123");
    DWORD caret = 0;
    SendMessageW(edit, EM_GETSEL, 0, LPARAM(&caret));
    EXPECT_EQ(caret, 2u) << "the caret stays behind the same characters";
}

TEST_F(NumberBox, TextStaysOnFocusLossAndQueryClick) {
    TypeChars(L"13800138000");
    // Focus to another window and back.
    ASSERT_TRUE(LoadWindow(AboutForm));
    HWND about = WindowHandle(WindowRef(AboutForm));
    SetForegroundWindow(about);
    SetFocus(about);
    ProcessEvents();
    EXPECT_NE(GetFocus(), edit);
    EXPECT_EQ(GetText(box), "13800138000");
    ui::DestroyWindow(AboutForm);
    ProcessEvents();
    SetForegroundWindow(WindowHandle(WindowRef(ToolboxForm)));
    ProcessEvents();
    EXPECT_EQ(GetFocus(), edit) << "the box gets the focus back with its window";

    // A real click on 查询: the focus stays in the box and the number as typed.
    RECT r;
    GetWindowRect(WindowHandle(query), &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    INPUT click[2] = {{INPUT_MOUSE}, {INPUT_MOUSE}};
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    int clicks = 0;
    RuntimeObservers().clicked = [&](ControlRef ref) { clicks += ref == query; };
    SendInput(2, click, sizeof(INPUT));
    for (int i = 0; i < 100 && !clicks; ++i) {
        ProcessEvents();
        Sleep(5);
    }
    RuntimeObservers().clicked = nullptr;
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_EQ(GetText(box), "13800138000");
}

} // namespace
