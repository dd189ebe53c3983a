// Floor for the idle figures: a hidden window, a 1 ms timer that reads the cursor twice per tick,
// and a message loop. With --pictures it also decodes the program's pictures first (the floor for
// memory).
#include <windows.h>
#include <ole2.h>

#include "assets/resource.h"
#include "ui/win32/Internal.h"

static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_TIMER) {
        POINT p;
        GetCursorPos(&p);
        GetCursorPos(&p);
        return 0;
    }
    return DefWindowProcW(h, m, w, l);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command, int) {
    if (strstr(command, "--pictures")) {
        OleInitialize(nullptr);
        for (int id = IDP_RING; id <= IDP_TILE_MOBILEAPPS_HOVER; ++id) ui::win32::Picture(id);
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.lpszClassName = L"FloorIdle";
    RegisterClassW(&wc);
    HWND h = CreateWindowExW(WS_EX_TOOLWINDOW, L"FloorIdle", L"", WS_POPUP, 0, 0, 181, 169, nullptr,
                             nullptr, instance, nullptr);
    SetTimer(h, 1, 1, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
