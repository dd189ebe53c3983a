#include "trail/ParticleWindow.h"

namespace trail {
namespace {
uint64_t layeredAlphaCalls = 0;
}

void DetachToDesktop(HWND h) {
    SetParent(h, nullptr);
    SetWindowLongA(h, GWL_STYLE, GetWindowLongA(h, GWL_STYLE) | WS_CHILD);
}

void MakeTopmost(HWND h) {
    SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void SetLayeredAlpha(HWND h, COLORREF colourKey, int32_t alpha) {
    ++layeredAlphaCalls;
    SetWindowLongA(h, GWL_EXSTYLE, GetWindowLongA(h, GWL_EXSTYLE) | WS_EX_LAYERED);
    SetLayeredWindowAttributes(h, colourKey, BYTE(alpha & 0xFF), LWA_COLORKEY | LWA_ALPHA);
}

void MakeToolWindow(HWND h) {
    ShowWindow(h, SW_HIDE);
    // Replaces the whole extended style: the layering set before is gone with it.
    SetWindowLongA(h, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
    ShowWindow(h, SW_SHOWNORMAL);
}

void MakeClickThrough(HWND h) {
    SetWindowLongA(h, GWL_EXSTYLE, GetWindowLongA(h, GWL_EXSTYLE) | WS_EX_LAYERED | WS_EX_TRANSPARENT);
}

uint64_t LayeredAlphaCalls() { return layeredAlphaCalls; }

} // namespace trail
