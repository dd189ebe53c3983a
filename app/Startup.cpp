// The start routine and the created event of the hidden main window.
#include "app/Startup.h"

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
    ui::SeedRandom();
    trail::CreateParticleWindows();
    // Last, so no tick can see a half-made pool.
    ui::SetProperty({ui::MainForm, ui::mainform::时钟1}, ui::prop::Period, 1);
}

} // namespace app
