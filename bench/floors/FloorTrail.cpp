// Floor for the moving trail: twenty layered, click-through 29 x 29 windows, each moved once and
// faded once per tick of a 1 ms timer, as cheaply as Win32 allows.
#include <windows.h>

namespace {
HWND windows[20];
int tick = 0;

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_TIMER) {
        POINT p;
        GetCursorPos(&p);
        ++tick;
        for (int i = 0; i < 20; ++i) {
            SetWindowPos(windows[i], nullptr, p.x + i, p.y + (tick % 20), 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            SetLayeredWindowAttributes(windows[i], RGB(255, 255, 255), BYTE(255 - (tick + i * 5) % 255),
                                       LWA_COLORKEY | LWA_ALPHA);
        }
        return 0;
    }
    return DefWindowProcW(h, m, w, l);
}
} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hbrBackground = (HBRUSH)GetStockObject(GRAY_BRUSH);
    wc.lpszClassName = L"FloorTrail";
    RegisterClassW(&wc);
    for (HWND& h : windows)
        h = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_LAYERED | WS_EX_TRANSPARENT,
                            L"FloorTrail", L"", WS_POPUP | WS_VISIBLE, 0, 0, 29, 29, nullptr, nullptr,
                            instance, nullptr);
    HWND timer = CreateWindowExW(0, L"FloorTrail", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance,
                                 nullptr);
    SetTimer(timer, 1, 1, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
