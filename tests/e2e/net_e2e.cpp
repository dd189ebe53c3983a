// The number lookup and the update check of the built program, against stand-in servers on the
// loopback addresses it was built with.
#include <gtest/gtest.h>

#include "e2e/Driver.h"
#include "support/StandInServer.h"

namespace {

using namespace e2e;
using testsupport::StandInServer;

constexpr int LookupTile = 5, NumberBox = 13, QueryButton = 14, CloseButton = 2;
constexpr int CheckButton = 1, ConfirmButton = 4;

void ClickControl(HWND window, int id) {
    RECT r = Rect(GetDlgItem(window, id));
    Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// Dark pixels (the black result text) in the result column of the toolbox, as on screen.
int DarkPixels(HWND toolbox) {
    RECT r = Rect(toolbox);
    HDC screen = GetDC(nullptr);
    int dark = 0;
    for (int y = r.top + 104; y < r.top + 224; ++y)
        for (int x = r.left + 168; x < r.left + 320; x += 2) {
            COLORREF c = GetPixel(screen, x, y);
            dark += GetRValue(c) + GetGValue(c) + GetBValue(c) < 150;
        }
    ReleaseDC(nullptr, screen);
    return dark;
}

std::string Utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

int Port(const char* address) { return std::atoi(strrchr(address, ':') + 1); }

TEST(NetEndToEnd, LookupFillsTheResultsAndTheUpdateCheckOffersANewerVersion) {
    StandInServer lookup(testsupport::Ok(Utf8(
                             u8"<p>卡号归属地：<em>北京 北京</em>   类型：<em>移动</em> 区号：<em>010</em>"
                             u8"     邮政编码：<em>100000</em></p>")),
                         uint16_t(Port(LUMENO_STANDIN_LOOKUP)));
    StandInServer vendor(testsupport::Ok("1.5\r\n"), uint16_t(Port(LUMENO_STANDIN_VENDOR)));
    ASSERT_TRUE(lookup.Listening() && vendor.Listening());

    Program p = Start();
    ASSERT_TRUE(p.process);
    ASSERT_TRUE(WaitFor([&] { return WindowOf(p.id, L"LumenoForm", L"", 300, 130) != nullptr; }));

    // Tray menu, "打开工具箱", the lookup view, a number typed, "查询".
    POINT icon = FirstTrayIcon();
    Click(icon.x, icon.y, true);
    Menu menu;
    ASSERT_TRUE(WaitFor([&] { return (menu = OpenMenu()).window != nullptr; }));
    ChooseMenuItem(menu, 0, 7);
    HWND toolbox = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        toolbox = WindowOf(p.id, L"LumenoForm", Wide("Lumeno助手"), 379, 228);
        return toolbox && IsWindowVisible(toolbox);
    }));
    Sleep(300);
    ClickControl(toolbox, LookupTile);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(GetDlgItem(toolbox, NumberBox)) != 0; }));
    ClickControl(toolbox, NumberBox);
    TypeText(L"13800138000");
    wchar_t typed[32] = {};
    ASSERT_TRUE(WaitFor([&] {
        // WM_GETTEXT: GetWindowText does not ask a window of another process for its text.
        SendMessageW(GetDlgItem(toolbox, NumberBox), WM_GETTEXT, 32, (LPARAM)typed);
        return std::wstring(typed) == L"13800138000";
    })) << typed;
    Sleep(200);
    int darkBefore = DarkPixels(toolbox);
    ClickControl(toolbox, QueryButton);
    ASSERT_TRUE(lookup.WaitForRequests(1, 10000));
    std::string request = lookup.Requests()[0];
    std::string url = std::string("http://") + LUMENO_STANDIN_LOOKUP + "/api/mobile.php?m=13800138000&t=html";
    EXPECT_EQ(testsupport::RequestLine(request), "GET /api/mobile.php?m=13800138000&t=html HTTP/1.1");
    std::string headers = testsupport::HeaderBlock(request);
    EXPECT_NE(headers.find("Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
                           "application/x-shockwave-flash, application/vnd.ms-excel, "
                           "application/vnd.ms-powerpoint, application/msword, */*\r\n"),
              std::string::npos);
    EXPECT_NE(headers.find("Referer: " + url + "\r\n"), std::string::npos);
    EXPECT_NE(headers.find("Accept-Language: zh-cn\r\n"), std::string::npos);
    EXPECT_NE(headers.find("User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"),
              std::string::npos);
    // The four results are drawn in black beside their captions.
    EXPECT_TRUE(WaitFor([&] { return DarkPixels(toolbox) > darkBefore + 100; }, 5000));
    Screenshot(L"lookup-results");
    ClickControl(toolbox, CloseButton);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(toolbox); }));

    // Tray menu, "软件更新", "检测更新": the newer published version is offered.
    Click(icon.x, icon.y, true);
    ASSERT_TRUE(WaitFor([&] { return (menu = OpenMenu()).window != nullptr; }));
    ChooseMenuItem(menu, 4, 7);
    HWND update = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        update = WindowOf(p.id, L"LumenoForm", L"", 415, 250);
        return update && IsWindowVisible(update) && IsWindowVisible(GetDlgItem(update, CheckButton));
    }));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(update, ConfirmButton)));
    Sleep(300);
    ClickControl(update, CheckButton);
    ASSERT_TRUE(vendor.WaitForRequests(1, 10000));
    EXPECT_EQ(testsupport::RequestLine(vendor.Requests()[0]), "GET /gx/bbgx.txt HTTP/1.0");
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(GetDlgItem(update, ConfirmButton)) != 0; }));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(update, CheckButton)));
    Sleep(300);
    Screenshot(L"update-offered");
    Stop(p);
}

} // namespace
