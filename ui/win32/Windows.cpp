// Windows built from their definitions: load, destroy, move, modal loops and the message pump.
#include <algorithm>
#include <array>

#include <windowsx.h>

#include "ui/Text.h"
#include "ui/win32/Internal.h"

namespace ui::win32 {
namespace {

constexpr wchar_t FormClass[] = L"LumenoForm";

std::array<std::unique_ptr<Form>, WindowCount + 1> forms;
std::array<std::unique_ptr<StoredWindow>, WindowCount + 1> stored;
bool messageLoopRunning = false;

bool ValidWindow(uint32_t window) { return window >= 1 && window <= WindowCount; }

void PaintBackground(Form& form, HDC dc, const RECT& client) {
    const WindowDef& def = *form.def;
    if (!def.background || def.layout == Layout::None) {
        FillRect(dc, &client, (HBRUSH)GetStockObject(WHITE_BRUSH));
        return;
    }
    HDC pictureDc = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(pictureDc, Picture(def.background));
    SIZE size = PictureSize(def.background);
    if (def.layout == Layout::Stretched) {
        SetStretchBltMode(dc, HALFTONE);
        StretchBlt(dc, 0, 0, client.right, client.bottom, pictureDc, 0, 0, size.cx, size.cy,
                   SRCCOPY);
    } else {
        for (int y = 0; y < client.bottom; y += std::max(1L, size.cy))
            for (int x = 0; x < client.right; x += std::max(1L, size.cx))
                BitBlt(dc, x, y, size.cx, size.cy, pictureDc, 0, 0, SRCCOPY);
    }
    SelectObject(pictureDc, old);
    DeleteDC(pictureDc);
}

void Paint(Form& form) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(form.hwnd, &ps);
    RECT client;
    GetClientRect(form.hwnd, &client);
    // Drawn off screen first so labels never flicker over the background.
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max(1L, client.right), std::max(1L, client.bottom));
    HGDIOBJ old = SelectObject(memory, bitmap);
    PaintBackground(form, memory, client);
    PaintLabels(form, memory);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EndPaint(form.hwnd, &ps);
}

bool OnLabel(Form& form, POINT pt) {
    for (const Control& c : form.controls)
        if (c.def && c.def->kind == Kind::Label && c.visible && pt.x >= c.left &&
            pt.x < c.left + c.width && pt.y >= c.top && pt.y < c.top + c.height)
            return true;
    return false;
}

int TrayCode(LPARAM message) {
    switch (LOWORD(message)) {
    case WM_LBUTTONUP: return 1;
    case WM_LBUTTONDBLCLK: return 2;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU: return 3;
    default: return 0;
    }
}

void Forget(Form* form) {
    uint32_t id = form->def->id;
    forms[id].reset();
    if (messageLoopRunning && std::none_of(forms.begin(), forms.end(), [](auto& f) { return f != nullptr; }))
        PostQuitMessage(0);
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* form = static_cast<Form*>(create->lpCreateParams);
        form->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    Form* form = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == TaskbarCreatedMessage() && form->def->trayEvent) {
        ReAddTrayIcon();
        return 0;
    }
    switch (message) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: Paint(*form); return 0;
    case WM_LBUTTONDOWN:
        if (form->def->dragAnywhere && !OnLabel(*form, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) {
            ReleaseCapture();
            ForeignLoop moving;
            SendMessageW(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, 0);
            return 0;
        }
        break;
    case WM_TIMER: {
        Control* c = FindControl({form->def->id, uint32_t(wParam)});
        if (c && c->period == 0) { // stopped: see SetTimerPeriod
            KillTimer(hwnd, c->id);
            c->systemPeriod = 0;
            return 0;
        }
        if (!c || !c->def || !c->handlers) return 0;
        if (auto& observe = RuntimeObservers().tick) observe({form->def->id, c->id});
        if (c->def->tick) c->def->tick();
        return 0;
    }
    case WM_APP_TRAY:
        if (int code = TrayCode(lParam); code && form->def->trayEvent) form->def->trayEvent(code);
        return 0;
    case WM_APP_DESTROY: ::DestroyWindow(hwnd); return 0;
    case WM_CLOSE: ui::DestroyWindow(form->def->id); return 0;
    case WM_ACTIVATE:
        // Keep the keyboard focus where it was (the lookup box) across activations.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd, focus)) form->lastFocus = focus;
        } else if (form->lastFocus && IsWindow(form->lastFocus)) {
            SetFocus(form->lastFocus);
            return 0;
        }
        break;
    case WM_CTLCOLOREDIT: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    case WM_DESTROY:
        form->destroying = true;
        for (Control& c : form->controls)
            if (c.def && c.def->kind == Kind::Timer) KillTimer(hwnd, c.id);
        if (form->def->trayEvent) RemoveTrayIcon();
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        Forget(form);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void EnsureStored(uint32_t window) {
    if (stored[window]) return;
    const WindowDef& def = Definition(window);
    auto s = std::make_unique<StoredWindow>(
        StoredWindow{def.left, def.top, def.width, def.height, def.visible, false, {}});
    for (const ControlDef& c : def.controls)
        s->controls.push_back({c.left, c.top, c.width, c.height, c.visible});
    stored[window] = std::move(s);
}

std::vector<HWND> DisableOthers(uint32_t window) {
    std::vector<HWND> disabled;
    for (auto& f : forms)
        if (f && f->def->id != window && IsWindowEnabled(f->hwnd)) {
            EnableWindow(f->hwnd, FALSE);
            disabled.push_back(f->hwnd);
        }
    return disabled;
}

} // namespace

Form* FindForm(uint32_t window) { return ValidWindow(window) ? forms[window].get() : nullptr; }

Form* FormOf(HWND hwnd) {
    for (auto& f : forms)
        if (f && f->hwnd == hwnd) return f.get();
    return nullptr;
}

Control* FindControl(ControlRef ref) {
    Form* form = FindForm(ref.window);
    if (!form || ref.control == WindowUnit || ref.control > form->controls.size()) return nullptr;
    return &form->controls[ref.control - 1];
}

StoredWindow& Stored(uint32_t window) {
    EnsureStored(window);
    return *stored[window];
}

bool PumpMessage(MSG& msg) {
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
        Form* form = FormOf(GetAncestor(msg.hwnd, GA_ROOT));
        if (form && form->def->escCloses && IsWindowEnabled(form->hwnd)) {
            ui::DestroyWindow(form->def->id);
            return true;
        }
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

void RunModalLoop(uint32_t window) {
    Form* form = FindForm(window);
    if (!form) return;
    form->modalPending = false;
    std::vector<HWND> disabled = DisableOthers(window);
    MSG msg;
    while (FindForm(window)) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(int(msg.wParam));
            break;
        }
        if (got > 0) PumpMessage(msg);
    }
    for (HWND h : disabled)
        if (IsWindow(h)) EnableWindow(h, TRUE);
}

void RegisterFormClass(HINSTANCE instance) {
    WNDCLASSEXW wc{sizeof wc};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = FormProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.lpszClassName = FormClass;
    RegisterClassExW(&wc);
}

} // namespace ui::win32

namespace ui {
using namespace win32;

bool LoadWindow(uint32_t window, std::optional<uint32_t>, bool modal) {
    if (!ValidWindow(window)) return false;
    if (Form* open = FindForm(window)) {
        if (IsIconic(open->hwnd)) ShowWindow(open->hwnd, SW_RESTORE);
        else SetForegroundWindow(open->hwnd);
        return true;
    }
    const WindowDef& def = Definition(window);
    StoredWindow& s = Stored(window);
    int left = s.left, top = s.top;
    if (!s.placed && def.startPosition == 1) {
        left = (ScreenWidth() - s.width) / 2;
        top = (ScreenHeight() - s.height) / 2;
    }
    DWORD exStyle = def.taskbar ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW;
    if (def.topmost) exStyle |= WS_EX_TOPMOST;
    auto form = std::make_unique<Form>();
    form->def = &def;
    Form* f = form.get();
    forms[window] = std::move(form);
    HWND hwnd = CreateWindowExW(exStyle, FormClass, Widen(def.title).c_str(),
                                WS_POPUP | WS_CLIPCHILDREN, left, top, s.width, s.height, nullptr,
                                nullptr, GetModuleHandleW(nullptr), f);
    if (!hwnd) {
        forms[window].reset();
        return false;
    }
    for (size_t i = 0; i < def.controls.size(); ++i) {
        const ControlDef& cd = def.controls[i];
        const StoredControl& sc = s.controls[i];
        Control& c = f->controls.emplace_back();
        c.def = &cd;
        c.id = uint32_t(i + 1);
        c.left = sc.left, c.top = sc.top, c.width = sc.width, c.height = sc.height;
        c.visible = sc.visible;
        c.text = cd.text;
        c.hwnd = CreateControlWindow(*f, c);
        if (cd.kind == Kind::Timer && cd.period > 0) SetProperty({window, c.id}, prop::Period, cd.period);
    }
    if (auto& observe = RuntimeObservers().created) observe(window);
    if (def.created) def.created();
    f = FindForm(window);
    if (!f) return true;
    if (s.visible && !IsWindowVisible(f->hwnd)) ShowWindow(f->hwnd, SW_SHOW);
    if (modal) {
        if (IsWindowVisible(f->hwnd)) RunModalLoop(window);
        else f->modalPending = true;
    }
    return true;
}

void DestroyWindow(uint32_t window) {
    if (Form* f = FindForm(window); f && !f->destroying) {
        f->destroying = true;
        PostMessageW(f->hwnd, WM_APP_DESTROY, 0, 0);
    }
}

bool IsLoaded(uint32_t window) { return FindForm(window) != nullptr; }

void MoveWindow(ControlRef ref, std::optional<int> left, std::optional<int> top,
                std::optional<int> width, std::optional<int> height) {
    auto keep = [](std::optional<int> v, int current) {
        return v && *v != -1 ? *v : current;
    };
    int l = GetProperty(ref, prop::Left), t = GetProperty(ref, prop::Top);
    int w = GetProperty(ref, prop::Width), h = GetProperty(ref, prop::Height);
    int nl = left.value_or(l), nt = top.value_or(t), nw = keep(width, w), nh = keep(height, h);
    if (nl == l && nt == t && nw == w && nh == h) return;
    HWND hwnd = WindowHandle(ref);
    if (ref.control == WindowUnit && hwnd) {
        SetWindowPos(hwnd, nullptr, nl, nt, nw, nh, SWP_NOZORDER | SWP_NOACTIVATE);
        UpdateWindow(hwnd);
        return;
    }
    SetProperty(ref, prop::Left, nl);
    SetProperty(ref, prop::Top, nt);
    SetProperty(ref, prop::Width, nw);
    SetProperty(ref, prop::Height, nh);
}

void RefreshWindow(ControlRef ref) {
    if (HWND hwnd = WindowHandle(ref)) RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

NativeHandle WindowHandle(ControlRef ref) {
    if (ref.control == WindowUnit) {
        Form* f = FindForm(ref.window);
        return f ? f->hwnd : nullptr;
    }
    Control* c = FindControl(ref);
    return c ? c->hwnd : nullptr;
}

ControlRef CopyControl(ControlRef source) {
    Form* form = FindForm(source.window);
    Control* src = FindControl(source);
    if (!form || !src || !src->def) return {};
    Control& c = form->controls.emplace_back();
    c.def = src->def;
    c.id = uint32_t(form->controls.size());
    c.left = src->def->left, c.top = src->def->top;
    c.width = src->def->width, c.height = src->def->height;
    c.visible = false;
    c.handlers = false;
    c.text = src->text;
    c.hwnd = CreateControlWindow(*form, c);
    if (c.hwnd && src->hwnd)
        SetWindowPos(c.hwnd, src->hwnd, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return {source.window, c.id};
}

void ProcessEvents() {
    // Inside a loop of the system's (a pop-up menu, a message box, a window being dragged) the
    // mouse and keys belong to that loop: taking them here would lose its clicks.
    UINT leaveInput = ForeignLoop::depth ? PM_QS_SENDMESSAGE | PM_QS_POSTMESSAGE | PM_QS_PAINT : 0;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | leaveInput)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(int(msg.wParam));
            return;
        }
        PumpMessage(msg);
    }
}

int RunMessageLoop() {
    messageLoopRunning = true;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) PumpMessage(msg);
    messageLoopRunning = false;
    return 0;
}

} // namespace ui
