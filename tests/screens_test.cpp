// Screenshots of every window the user sees, in each of its states, written as BMP files to
// $LUMENO_BUILD/screens/ for a person to look at; the test itself checks what a pixel can tell:
// the background colour, and caption and result text drawn in their colours.
#include <gtest/gtest.h>

#include "support/Fixtures.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <windows.h>

#include "ui/Forms.h"
#include "ui/Runtime.h"
#include "ui/Text.h"

namespace {
using namespace ui;

std::wstring ScreensFolder() {
    const char* build = getenv("LUMENO_BUILD");
    std::wstring folder = build ? L"Z:" + Widen(build) : L".";
    for (wchar_t& ch : folder)
        if (ch == L'/') ch = L'\\';
    folder += L"\\screens";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

struct Shot {
    int width = 0, height = 0;
    std::vector<BYTE> bgr; // top-down rows, 3 bytes a pixel

    COLORREF At(int x, int y) const {
        const BYTE* p = &bgr[size_t((y * width + x) * 3)];
        return RGB(p[2], p[1], p[0]);
    }
    // Pixels of the client rectangle r close to `colour`.
    int Count(RECT r, COLORREF colour, int tolerance = 40) const {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                COLORREF c = At(x, y);
                n += std::abs(GetRValue(c) - GetRValue(colour)) <= tolerance &&
                     std::abs(GetGValue(c) - GetGValue(colour)) <= tolerance &&
                     std::abs(GetBValue(c) - GetBValue(colour)) <= tolerance;
            }
        return n;
    }
};

// What the screen shows where the window is, written to screens/<name>.bmp.
Shot Capture(uint32_t window, const wchar_t* name) {
    HWND hwnd = WindowHandle(WindowRef(window));
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ProcessEvents();
    GdiFlush();
    RECT r;
    GetWindowRect(hwnd, &r);
    Shot shot;
    shot.width = r.right - r.left, shot.height = r.bottom - r.top;
    BITMAPINFOHEADER header{sizeof header, shot.width, -shot.height, 1, 24, BI_RGB};
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, shot.width, shot.height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const int stride = (shot.width * 3 + 3) & ~3;
    for (int y = 0; y < shot.height; ++y) {
        const BYTE* row = static_cast<const BYTE*>(bits) + y * stride;
        shot.bgr.insert(shot.bgr.end(), row, row + shot.width * 3);
    }
    if (FILE* file = _wfopen((ScreensFolder() + L"\\" + name + L".bmp").c_str(), L"wb")) {
        BITMAPFILEHEADER fileHeader{
            0x4D42, DWORD(sizeof(BITMAPFILEHEADER) + sizeof header + stride * shot.height), 0, 0,
            DWORD(sizeof(BITMAPFILEHEADER) + sizeof header)};
        fwrite(&fileHeader, sizeof fileHeader, 1, file);
        fwrite(&header, sizeof header, 1, file);
        fwrite(bits, size_t(stride), size_t(shot.height), file);
        fclose(file);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return shot;
}

constexpr COLORREF Blue = RGB(0x2E, 0x83, 0xC3), White = RGB(255, 255, 255), Black = RGB(0, 0, 0);

RECT Place(ControlRef ref) {
    int left = GetProperty(ref, prop::Left), top = GetProperty(ref, prop::Top);
    return {left, top, left + GetProperty(ref, prop::Width), top + GetProperty(ref, prop::Height)};
}

class Screens : public testing::Test {
  protected:
    void SetUp() override {
        testsupport::SilenceEffects();
        SetCursorPos(1023, 767); // away from every window, so nothing shows hovered
    }
    void TearDown() override {
        testsupport::CloseAllWindows();
    }
};

void Show(uint32_t window, std::initializer_list<uint32_t> controls, bool visible) {
    for (uint32_t c : controls)
        SetProperty({window, c}, prop::Visible, visible);
}

TEST_F(Screens, Toolbox) {
    using namespace toolbox;
    ASSERT_TRUE(LoadWindow(ToolboxForm));
    Shot launcher = Capture(ToolboxForm, L"toolbox_launcher");
    EXPECT_GT(launcher.Count({0, 30, 20, 230}, Blue), 20 * 190 * 9 / 10) << "blue background";

    Show(ToolboxForm,
         {打开计算器, 画图工具, 手机归属地, 打开记事本, 导航, 百度一下, 电脑应用, 手机应用}, false);
    Show(ToolboxForm,
         {返回, 手机号码标签, 编辑框1, 查询, 卡号归属地标签, 卡号归属地显示框, 卡号类型标签,
          卡号类型显示框, 邮政编码标签, 邮政编码显示框, 区号标签, 区号显示框},
         true);
    SetText({ToolboxForm, 编辑框1}, "13800138000");
    SetText({ToolboxForm, 卡号归属地显示框}, "广东 广州");
    SetText({ToolboxForm, 卡号类型显示框}, "移动全球通卡");
    SetText({ToolboxForm, 区号显示框}, "020");
    SetText({ToolboxForm, 邮政编码显示框}, "510000");
    Shot lookup = Capture(ToolboxForm, L"toolbox_lookup");
    for (uint32_t caption : {卡号归属地标签, 卡号类型标签, 邮政编码标签, 区号标签})
        EXPECT_GT(lookup.Count(Place({ToolboxForm, caption}), White, 60), 20)
            << "caption " << caption;
    for (uint32_t result : {卡号归属地显示框, 卡号类型显示框, 邮政编码显示框, 区号显示框})
        EXPECT_GT(lookup.Count(Place({ToolboxForm, result}), Black, 60), 15) << "result " << result;
}

TEST_F(Screens, Update) {
    using namespace updateform;
    ASSERT_TRUE(LoadWindow(UpdateForm));
    Show(UpdateForm, {图形按钮2}, true);
    Capture(UpdateForm, L"update_check");
    Show(UpdateForm, {图形按钮2}, false);
    Show(UpdateForm, {透明标签2, 图形按钮1}, true);
    Shot newer = Capture(UpdateForm, L"update_newer");
    // Two lines from the label's top; nothing below them but the button.
    RECT label = Place({UpdateForm, 透明标签2});
    EXPECT_GT(newer.Count({label.left, label.top, label.right, label.top + 32}, White, 60), 40);
    EXPECT_GT(newer.Count({label.left, label.top + 32, label.right, label.bottom}, White, 60), 40);
    Show(UpdateForm, {透明标签2, 图形按钮1}, false);
    Show(UpdateForm, {透明标签1}, true);
    Shot latest = Capture(UpdateForm, L"update_latest");
    EXPECT_GT(latest.Count(Place({UpdateForm, 透明标签1}), White, 60), 40);
}

TEST_F(Screens, WelcomeAndAbout) {
    ASSERT_TRUE(LoadWindow(WelcomeForm));
    Shot welcome = Capture(WelcomeForm, L"welcome");
    EXPECT_GT(welcome.Count({0, 110, 60, 130}, Blue), 60 * 20 * 9 / 10);
    ui::DestroyWindow(WelcomeForm);
    ProcessEvents();
    ASSERT_TRUE(LoadWindow(AboutForm));
    Shot about = Capture(AboutForm, L"about");
    EXPECT_GT(about.Count({300, 100, 480, 140}, Blue), 180 * 40 * 9 / 10);
}

} // namespace
