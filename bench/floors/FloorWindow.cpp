// Floor for start-up: a program that shows one window of the welcome prompt's size.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = L"FloorWindow";
    RegisterClassW(&wc);
    int w = 300, h = 130;
    CreateWindowExW(WS_EX_APPWINDOW, L"FloorWindow", L"", WS_POPUP | WS_VISIBLE,
                    (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h,
                    nullptr, nullptr, instance, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
