// The toolbox window's handlers: views, launchers, shortcuts, minimise and close.
#pragma once

namespace toolbox {
void OnToolboxCreated();
void OnMinimiseClicked();
void OnCloseClicked();
void OnCalculatorClicked();
void OnPaintClicked();
void OnLookupViewClicked();
void OnNotepadClicked();
void OnNavigationClicked();
void OnSearchClicked();
void OnPcAppsClicked();
void OnMobileAppsClicked();
void OnBackClicked();
void OnDockingTick();
} // namespace toolbox
