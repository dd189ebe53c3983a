// The start routine and the created event of the hidden main window.
#include "app/Startup.h"

#include "app/Guard.h"
#include "assets/resource.h"
#include "trail/Trail.h"
#include "ui/Forms.h"
#include "ui/Runtime.h"

namespace app {

int StartRoutine() {
    ui::Initialise();
    trail::CreateParticlePool();
    ui::RegisterReleaseRoutine(trail::ReleaseParticlePool);
    // The whole of OnMainWindowCreated runs inside this load, before the loop exists.
    ui::LoadWindow(ui::MainForm);
    ui::RunMessageLoop();
    return 0;
}

void OnMainWindowCreated() {
    if (IsAlreadyRunning()) {
        ui::ShowMessageBox("程序正在运行中...\r\n请勿重复运行...", 48, "温馨提示");
        ui::Exit(0);
        return;
    }
    ui::SetTrayIcon(ui::MainForm, IDI_TRAY, "Lumeno助手");
    ui::LoadWindow(ui::WelcomeForm);
    ui::SeedRandom();
    trail::CreateParticleWindows();
    // Last, so no tick can see a half-made pool.
    ui::SetProperty({ui::MainForm, ui::mainform::时钟1}, ui::prop::Period, 1);
}

} // namespace app
