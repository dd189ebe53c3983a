// The Win32 operations that turn a copied picture box into a particle window.
#pragma once
#include <cstdint>
#include <windows.h>

namespace trail {

void DetachToDesktop(HWND h);
void MakeTopmost(HWND h);
void SetLayeredAlpha(HWND h, COLORREF colourKey, int32_t alpha);
void MakeToolWindow(HWND h);
void MakeClickThrough(HWND h);

// Layered-attribute updates made so far (benchmarks and tests count window work with it).
uint64_t LayeredAlphaCalls();

} // namespace trail
