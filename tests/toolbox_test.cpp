#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <set>
#include <string>
#include <vector>
#include <windows.h>

#include "app/Tray.h"
#include "ui/Addresses.h"
#include "ui/Forms.h"
#include "ui/Runtime.h"

using namespace ui::toolbox;

namespace {

constexpr ui::ControlRef Window = ui::WindowRef(ui::ToolboxForm);
constexpr ui::ControlRef Ref(uint32_t control) {
    return {ui::ToolboxForm, control};
}

const std::set<uint32_t> LauncherView = {最小化,     关闭窗口, 打开计算器, 画图工具, 手机归属地,
                                         打开记事本, 导航,     百度一下,   电脑应用, 手机应用};
const std::set<uint32_t> LookupView = {
    最小化,         关闭窗口,         返回,         手机号码标签,   编辑框1,      查询,
    卡号归属地标签, 卡号归属地显示框, 卡号类型标签, 卡号类型显示框, 邮政编码标签, 邮政编码显示框,
    区号标签,       区号显示框};
constexpr uint32_t ResultLabels[] = {卡号归属地显示框, 卡号类型显示框, 邮政编码显示框, 区号显示框};

// The controls a user can see now; the timer has nothing to see.
std::set<uint32_t> ShownControls() {
    std::set<uint32_t> shown;
    for (uint32_t id = 最小化; id < 时钟1; ++id)
        if (ui::GetProperty(Ref(id), ui::prop::Visible)) shown.insert(id);
    return shown;
}

// A real press and release on a picture button.
void Click(uint32_t control) {
    HWND h = ui::WindowHandle(Ref(control));
    ASSERT_NE(h, nullptr);
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

void Type(const char* keys) {
    HWND edit = ui::WindowHandle(Ref(编辑框1));
    for (const char* k = keys; *k; ++k)
        SendMessageW(edit, WM_CHAR, WPARAM(*k), 0);
}

RECT WindowRect() {
    RECT r{};
    GetWindowRect(ui::WindowHandle(Window), &r);
    return r;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct Write {
    ui::ControlRef ref;
    int number, value;
    bool operator==(const Write&) const = default;
};

void PrintTo(const Write& w, std::ostream* os) {
    *os << "{window " << w.ref.window << " control " << w.ref.control << ", property " << w.number
        << " = " << w.value << "}";
}

class Toolbox : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(ui::LoadWindow(ui::ToolboxForm)); }

    void TearDown() override {
        ui::RuntimeObservers().propertyWrite = nullptr;
        ui::RestoreEffects();
        ui::DestroyWindow(ui::ToolboxForm);
        WaitUntilClosed();
    }

    static void WaitUntilClosed() {
        for (int i = 0; i < 100 && ui::IsLoaded(ui::ToolboxForm); ++i) {
            ui::ProcessEvents();
            Sleep(5);
        }
    }

    void Record() {
        writes.clear();
        ui::RuntimeObservers().propertyWrite = [this](ui::ControlRef ref, int number, int value) {
            writes.push_back({ref, number, value});
        };
    }

    std::vector<Write> writes;
};

std::vector<Write> Visibility(std::initializer_list<uint32_t> controls, int value) {
    std::vector<Write> w;
    for (uint32_t c : controls)
        w.push_back({Ref(c), ui::prop::Visible, value});
    return w;
}

template <typename... Parts> std::vector<Write> Join(const Parts&... parts) {
    std::vector<Write> all;
    (all.insert(all.end(), parts.begin(), parts.end()), ...);
    return all;
}

} // namespace

TEST_F(Toolbox, OpensInTheLauncherView) {
    EXPECT_EQ(ShownControls(), LauncherView);
    EXPECT_EQ(ui::GetText(Ref(编辑框1)), "");
}

TEST_F(Toolbox, SwitchesViewsInTheirOrder) {
    const std::initializer_list<uint32_t> tiles = {打开计算器, 打开记事本, 手机归属地, 画图工具,
                                                   百度一下,   导航,       电脑应用,   手机应用};
    const std::initializer_list<uint32_t> lookup = {
        卡号归属地显示框, 卡号类型显示框, 邮政编码显示框, 区号显示框, 卡号归属地标签, 卡号类型标签,
        邮政编码标签,     区号标签,       编辑框1,        查询,       手机号码标签};

    Record();
    Click(手机归属地);
    EXPECT_EQ(writes, Join(Visibility(tiles, 0), Visibility({返回}, 1), Visibility(lookup, 1)));
    EXPECT_EQ(ShownControls(), LookupView);

    Record();
    Click(返回);
    EXPECT_EQ(writes, Join(Visibility(lookup, 0), Visibility(tiles, 1), Visibility({返回}, 0)));
    EXPECT_EQ(ShownControls(), LauncherView);
}

TEST_F(Toolbox, SwitchingKeepsTheNumberAndTheResults) {
    Click(手机归属地);
    Type("138x0013a8000"); // the letters are dropped by the box
    const char* results[] = {"北京", "移动全球通卡", "100000", "010"};
    for (size_t i = 0; i < 4; ++i)
        ui::SetText(Ref(ResultLabels[i]), results[i]);

    Click(返回);
    EXPECT_EQ(ShownControls(), LauncherView);
    Click(手机归属地);
    EXPECT_EQ(ShownControls(), LookupView);
    EXPECT_EQ(ui::GetText(Ref(编辑框1)), "13800138000");
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(ui::GetText(Ref(ResultLabels[i])), results[i]);
}

TEST_F(Toolbox, ClosedInTheLookupViewItOpensAfresh) {
    Click(手机归属地);
    Type("13800138000");
    ui::SetText(Ref(卡号归属地显示框), "北京");
    Click(关闭窗口);
    WaitUntilClosed();
    ASSERT_FALSE(ui::IsLoaded(ui::ToolboxForm));

    Record();
    ASSERT_TRUE(ui::LoadWindow(ui::ToolboxForm));
    ui::RuntimeObservers().propertyWrite = nullptr;
    EXPECT_EQ(ShownControls(), LauncherView);
    EXPECT_EQ(ui::GetText(Ref(编辑框1)), "");
    for (uint32_t label : ResultLabels)
        EXPECT_EQ(ui::GetText(Ref(label)), "");
    // Grown in again: the zoom's last write clears always on top.
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back(), (Write{Window, ui::prop::AlwaysOnTop, 0}));
    EXPECT_EQ(ui::GetProperty(Window, ui::prop::Width), 379);
    EXPECT_EQ(ui::GetProperty(Window, ui::prop::Height), 228);
}

TEST_F(Toolbox, MinimisedAndShownByTheTrayKeepsViewPlaceAndSize) {
    Click(手机归属地);
    Type("139");
    ui::MoveWindow(Window, 120, 90);
    const RECT before = WindowRect();

    Click(最小化);
    EXPECT_TRUE(ui::IsLoaded(ui::ToolboxForm));
    EXPECT_EQ(ui::GetProperty(Window, ui::prop::Visible), 0);
    EXPECT_GT(ui::GetProperty(Ref(时钟1), ui::prop::Period), 0) << "docking stopped";
    EXPECT_EQ(ShownControls(), LookupView) << "the view went with the window";

    Record();
    app::OnTrayEvent(1); // left click on the tray icon
    EXPECT_EQ(writes, (std::vector<Write>{{Window, ui::prop::Visible, 1}})) << "no zoom";
    EXPECT_EQ(ui::GetProperty(Window, ui::prop::Visible), 1);
    EXPECT_TRUE(SameRect(WindowRect(), before));
    EXPECT_EQ(ShownControls(), LookupView);
    EXPECT_EQ(ui::GetText(Ref(编辑框1)), "139");
}

TEST_F(Toolbox, LaunchersAndShortcuts) {
    std::vector<std::string> ran, opened;
    std::vector<bool> waited;
    ui::ReplaceableEffects().runProgram = [&](const ui::Text& line, bool wait) {
        ran.push_back(line);
        waited.push_back(wait);
        return true;
    };
    ui::ReplaceableEffects().openUrl = [&](const ui::Text& url) { opened.push_back(url); };
    const ui::Addresses& at = ui::BuiltInAddresses();

    struct Case {
        uint32_t tile;
        std::string program, url;
    } cases[] = {
        {打开计算器, "calc.exe", ""},
        {画图工具, "mspaint", ""},
        {打开记事本, "notepad", ""},
        {导航, "", at.vendorSite + "/dh"},
        {电脑应用, "", at.vendorSite + "/dh/dnyy"},
        {手机应用, "", at.vendorSite + "/dh/sjyy"},
        {百度一下, "", at.searchHome},
    };
    for (const Case& c : cases) {
        ran.clear(), opened.clear(), waited.clear();
        Click(c.tile);
        EXPECT_EQ(ran, c.program.empty() ? std::vector<std::string>{}
                                         : std::vector<std::string>{c.program});
        EXPECT_EQ(waited, c.program.empty() ? std::vector<bool>{} : std::vector<bool>{false});
        EXPECT_EQ(opened,
                  c.url.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.url});
        EXPECT_EQ(ShownControls(), LauncherView) << "tile " << c.tile;
    }
}

namespace {
std::set<HWND> ShownTopLevelWindows() {
    std::set<HWND> shown;
    EnumWindows(
        [](HWND h, LPARAM list) {
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            if (pid == GetCurrentProcessId() && IsWindowVisible(h))
                reinterpret_cast<std::set<HWND>*>(list)->insert(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&shown));
    return shown;
}
} // namespace

TEST_F(Toolbox, ALauncherWhoseProgramIsMissingLeavesNoTrace) {
    // The real run-program service, given a program that does not exist.
    auto real = ui::ReplaceableEffects().runProgram;
    std::vector<bool> results;
    ui::ReplaceableEffects().runProgram = [&](const ui::Text&, bool wait) {
        results.push_back(real("lumeno-no-such-program-4711.exe", wait));
        return results.back();
    };
    const RECT before = WindowRect();
    const std::set<HWND> windowsBefore = ShownTopLevelWindows();

    Click(打开计算器);
    ui::ProcessEvents();
    ASSERT_EQ(results, std::vector<bool>{false}) << "the program was found after all";
    EXPECT_TRUE(ui::IsLoaded(ui::ToolboxForm));
    EXPECT_EQ(ui::GetProperty(Window, ui::prop::Visible), 1);
    EXPECT_TRUE(SameRect(WindowRect(), before));
    EXPECT_EQ(ShownControls(), LauncherView);
    EXPECT_EQ(ShownTopLevelWindows(), windowsBefore);

    // Still usable: it answers messages and its buttons work.
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutW(ui::WindowHandle(Window), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000,
                                  &answer),
              0);
    Click(手机归属地);
    EXPECT_EQ(ShownControls(), LookupView);
}
