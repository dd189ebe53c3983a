// The toolbox window's handlers. The current view is nothing but which controls are visible.
#include "toolbox/Toolbox.h"

#include <cstddef>

#include "toolbox/Docking.h"
#include "toolbox/Zoom.h"
#include "ui/Addresses.h"
#include "ui/Forms.h"
#include "ui/Runtime.h"

namespace toolbox {
namespace {

using namespace ui::toolbox;

constexpr ui::ControlRef Window = ui::WindowRef(ui::ToolboxForm);

// The eight tiles of the launcher view, in the order both switches walk them.
constexpr uint32_t LauncherTiles[] = {打开计算器, 打开记事本, 手机归属地, 画图工具,
                                      百度一下,   导航,       电脑应用,   手机应用};
// The lookup view without its back button, in the order both switches walk them.
constexpr uint32_t LookupControls[] = {卡号归属地显示框, 卡号类型显示框, 邮政编码显示框, 区号显示框,
                                       卡号归属地标签,   卡号类型标签,   邮政编码标签,   区号标签,
                                       编辑框1,          查询,           手机号码标签};

void SetVisible(uint32_t control, bool visible) {
    ui::SetProperty({ui::ToolboxForm, control}, ui::prop::Visible, visible);
}

template <size_t N> void SetVisible(const uint32_t (&controls)[N], bool visible) {
    for (uint32_t control : controls)
        SetVisible(control, visible);
}

// The program is left running on its own; whether it started is of no concern here.
void Launch(const char* commandLine) {
    ui::RunProgram(commandLine, false);
}

void OpenVendorPage(const char* path) {
    ui::OpenUrl(ui::BuiltInAddresses().vendorSite + path);
}

} // namespace

void OnToolboxCreated() {
    ZoomIntoView(Window, 381, 230, 6);
}

// Hidden, not closed: view, place, contents and the docking timer all stay.
void OnMinimiseClicked() {
    ui::SetProperty(Window, ui::prop::Visible, 0);
}

void OnCloseClicked() {
    ui::DestroyWindow(ui::ToolboxForm);
}

void OnCalculatorClicked() {
    Launch("calc.exe");
}
void OnPaintClicked() {
    Launch("mspaint");
}
void OnNotepadClicked() {
    Launch("notepad");
}

void OnNavigationClicked() {
    OpenVendorPage("/dh");
}
void OnPcAppsClicked() {
    OpenVendorPage("/dh/dnyy");
}
void OnMobileAppsClicked() {
    OpenVendorPage("/dh/sjyy");
}
void OnSearchClicked() {
    ui::OpenUrl(ui::BuiltInAddresses().searchHome);
}

// Switching only changes visibility: the typed number and the last results stay.
void OnLookupViewClicked() {
    SetVisible(LauncherTiles, false);
    SetVisible(返回, true);
    SetVisible(LookupControls, true);
}

void OnBackClicked() {
    SetVisible(LookupControls, false);
    SetVisible(LauncherTiles, true);
    SetVisible(返回, false);
}

void OnDockingTick() {
    DockWindow(Window);
}

} // namespace toolbox
