#include "windows/Update.h"

#include "ui/Addresses.h"
#include "ui/Forms.h"
#include "ui/Runtime.h"
#include "ui/Text.h"

namespace windows {
namespace {

using namespace ui::updateform;

constexpr ui::ControlRef Control(uint32_t id) {
    return {ui::UpdateForm, id};
}

void Show(uint32_t id) {
    ui::SetProperty(Control(id), ui::prop::Visible, 1);
}

enum class Published { Newer, Same, Older };

// Two versions count as the same within 1e-7.
Published Compare(double local, double published) {
    if (local - published < -1e-7) return Published::Newer;
    if (local - published <= 1e-7) return Published::Same;
    return Published::Older;
}

} // namespace

void OnUpdateCreated() {
    Show(图形按钮2);
}

// Runs at most once per window: nothing shows the check button again.
void OnCheckUpdateClicked() {
    ui::SetProperty(Control(图形按钮2), ui::prop::Visible, 0);
    std::string bytes = ui::HttpFileRead(ui::BuiltInAddresses().vendorSite + "/gx/bbgx.txt");
    ui::Text published(bytes.c_str()); // up to the first zero byte
    double local = ui::ToNumber(ui::GetText(Control(编辑框1)));
    switch (Compare(local, ui::ToNumber(published))) {
    case Published::Newer:
        Show(透明标签2);
        Show(图形按钮1);
        break;
    case Published::Same:
        Show(透明标签1);
        break;
    case Published::Older:
        break; // also a failed fetch, which reads as 0
    }
}

void OnConfirmUpdateClicked() {
    ui::ShellExecuteTarget(ui::BuiltInAddresses().vendorSite + "/gx/index.html");
    ui::Exit(0);
}

void OnUpdateCloseClicked() {
    ui::DestroyWindow(ui::UpdateForm);
}

} // namespace windows
