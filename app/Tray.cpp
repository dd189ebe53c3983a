// The tray icon's events and the actions of the tray menu's seven items.
#include "app/Tray.h"

#include "ui/Addresses.h"
#include "ui/Runtime.h"

namespace app {

void OnTrayEvent(int code) {
    if (code == 3) ui::PopUpMenu(ui::MainForm);
    // A double click also arrives as two releases, so it shows the toolbox too.
    if (code == 1) ui::SetProperty(ui::WindowRef(ui::ToolboxForm), ui::prop::Visible, 1);
}

// Returns only when the toolbox window is destroyed: the load runs the modal loop.
void OnMenuOpenToolbox() { ui::LoadWindow(ui::ToolboxForm, std::nullopt, true); }
void OnMenuNavigation() { ui::OpenUrl(ui::BuiltInAddresses().vendorSite + "/dh"); }
void OnMenuRecommended() { ui::OpenUrl(ui::BuiltInAddresses().vendorSite + "/tj"); }
void OnMenuHomePage() { ui::OpenUrl(ui::BuiltInAddresses().vendorSite); }
void OnMenuUpdate() { ui::LoadWindow(ui::UpdateForm); }
void OnMenuAbout() { ui::LoadWindow(ui::AboutForm); }
void OnMenuExit() { ui::Exit(0); }

} // namespace app
