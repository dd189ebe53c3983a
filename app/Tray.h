// The tray icon's events and the seven items of the tray menu.
#pragma once

namespace app {
void OnTrayEvent(int code);
void OnMenuOpenToolbox();
void OnMenuNavigation();
void OnMenuRecommended();
void OnMenuHomePage();
void OnMenuUpdate();
void OnMenuAbout();
void OnMenuExit();
} // namespace app
