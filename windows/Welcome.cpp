// The start-up prompt: either answer hides it and opens the toolbox; "是" also opens the guide.
#include "windows/Welcome.h"

#include "ui/Addresses.h"
#include "ui/Runtime.h"

namespace windows {

void OnWelcomeYes() {
    ui::SetProperty(ui::WindowRef(ui::WelcomeForm), ui::prop::Visible, 0);
    ui::OpenUrl(ui::BuiltInAddresses().vendorSite + "/dh");
    ui::LoadWindow(ui::ToolboxForm);
}

void OnWelcomeNo() {
    ui::SetProperty(ui::WindowRef(ui::WelcomeForm), ui::prop::Visible, 0);
    ui::LoadWindow(ui::ToolboxForm);
}

void OnWelcomeClose() { ui::DestroyWindow(ui::WelcomeForm); }

} // namespace windows
