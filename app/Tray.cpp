#include "app/Tray.h"

namespace app {
void OnTrayEvent(int) {}
void OnMenuOpenToolbox() {}
void OnMenuNavigation() {}
void OnMenuRecommended() {}
void OnMenuHomePage() {}
void OnMenuUpdate() {}
void OnMenuAbout() {}
void OnMenuExit() {}
} // namespace app
