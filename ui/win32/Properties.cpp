// Numbered properties of windows and controls, and of the stored definitions of unloaded windows.
#include <algorithm>

#include "ui/Text.h"
#include "ui/win32/Internal.h"

namespace ui::win32 {
namespace {

int ClampPosition(int v) { return std::clamp(v, -32627, 32627); }
int ClampSize(int v) { return std::clamp(v, 0, 32627); }

RECT WindowRect(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

void SetTimerPeriod(Form& form, Control& c, int period) {
    period = std::max(0, period);
    if (period == c.period) return; // the timer keeps its phase
    c.period = period;
    // The trail stops and restarts its timer around every tick; re-arming the system timer each
    // time would cost two round trips to the window server. So a stop only silences the timer (it
    // is killed when it next fires while stopped), and a restart with the period the system timer
    // still runs with lets it speak again.
    if (period == 0 || period == c.systemPeriod) return;
    KillTimer(form.hwnd, c.id);
    SetTimer(form.hwnd, c.id, UINT(period), nullptr);
    c.systemPeriod = period;
}

void InvalidateControl(Form& form, const Control& c) {
    RECT r{c.left, c.top, c.left + c.width, c.top + c.height};
    InvalidateRect(form.hwnd, &r, FALSE);
}

void ShowForm(Form& form, bool show) {
    if (!show) {
        ShowWindow(form.hwnd, SW_HIDE);
        return;
    }
    ShowWindow(form.hwnd, SW_SHOW);
    SetForegroundWindow(form.hwnd);
    if (form.modalPending) RunModalLoop(form.def->id);
}

void SetAlwaysOnTop(Form& form, bool on) {
    SetWindowPos(form.hwnd, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (on) return;
    // Leaving the band must not bury the other always-on-top tool windows.
    for (uint32_t w = 1; w <= WindowCount; ++w)
        if (Form* other = FindForm(w); other && other != &form && other->def->topmost &&
                                       !other->def->taskbar)
            SetWindowPos(other->hwnd, HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void SetFormProperty(Form& form, int number, int value) {
    HWND h = form.hwnd;
    RECT r = WindowRect(h);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    switch (number) {
    case prop::Left: SetWindowPos(h, nullptr, ClampPosition(value), r.top, 0, 0, flags | SWP_NOSIZE); break;
    case prop::Top: SetWindowPos(h, nullptr, r.left, ClampPosition(value), 0, 0, flags | SWP_NOSIZE); break;
    case prop::Width:
        SetWindowPos(h, nullptr, 0, 0, ClampSize(value), r.bottom - r.top, flags | SWP_NOMOVE);
        break;
    case prop::Height:
        SetWindowPos(h, nullptr, 0, 0, r.right - r.left, ClampSize(value), flags | SWP_NOMOVE);
        break;
    case prop::Visible: ShowForm(form, value != 0); break;
    case prop::StartPosition:
        if (value == 1 && IsWindowVisible(h)) {
            if (IsIconic(h)) {
                ShowWindow(h, SW_RESTORE);
                r = WindowRect(h); // centred for the restored size, not the minimised one
            }
            SetWindowPos(h, nullptr, (ScreenWidth() - (r.right - r.left)) / 2,
                         (ScreenHeight() - (r.bottom - r.top)) / 2, 0, 0, flags | SWP_NOSIZE);
        } else if (IsWindowVisible(h) && value == 2) {
            ShowWindow(h, SW_MINIMIZE);
        } else if (IsWindowVisible(h) && value == 3) {
            ShowWindow(h, SW_MAXIMIZE);
        }
        break;
    case prop::AlwaysOnTop: SetAlwaysOnTop(form, value != 0); break;
    }
}

void SetControlProperty(Form& form, Control& c, int number, int value) {
    if (c.def->kind == Kind::Timer) {
        if (number == prop::Period) SetTimerPeriod(form, c, value);
        return;
    }
    bool label = c.def->kind == Kind::Label;
    if (label) InvalidateControl(form, c);
    switch (number) {
    case prop::Left: c.left = ClampPosition(value); break;
    case prop::Top: c.top = ClampPosition(value); break;
    case prop::Width: c.width = ClampSize(value); break;
    case prop::Height: c.height = ClampSize(value); break;
    case prop::Visible:
        c.visible = value != 0;
        if (c.hwnd) ShowWindow(c.hwnd, c.visible ? SW_SHOWNA : SW_HIDE);
        break;
    default: return;
    }
    if (label) InvalidateControl(form, c);
    else if (c.hwnd && number <= prop::Height)
        SetWindowPos(c.hwnd, nullptr, c.left, c.top, c.width, c.height,
                     SWP_NOZORDER | SWP_NOACTIVATE | (number <= prop::Top ? SWP_NOSIZE : SWP_NOMOVE));
}

int StoredProperty(ControlRef ref, int number) {
    StoredWindow& s = Stored(ref.window);
    if (ref.control == WindowUnit) {
        switch (number) {
        case prop::Left: return s.left;
        case prop::Top: return s.top;
        case prop::Width: return s.width;
        case prop::Height: return s.height;
        case prop::Visible: return s.visible;
        }
        return 0;
    }
    if (ref.control > s.controls.size()) return 0;
    const StoredControl& c = s.controls[ref.control - 1];
    switch (number) {
    case prop::Left: return c.left;
    case prop::Top: return c.top;
    case prop::Width: return c.width;
    case prop::Height: return c.height;
    case prop::Visible: return c.visible;
    }
    return 0;
}

void SetStoredProperty(ControlRef ref, int number, int value) {
    StoredWindow& s = Stored(ref.window);
    int *left, *top, *width, *height;
    bool* visible;
    if (ref.control == WindowUnit) {
        left = &s.left, top = &s.top, width = &s.width, height = &s.height, visible = &s.visible;
        if (number == prop::Left || number == prop::Top) s.placed = true;
    } else if (ref.control <= s.controls.size()) {
        StoredControl& c = s.controls[ref.control - 1];
        left = &c.left, top = &c.top, width = &c.width, height = &c.height, visible = &c.visible;
    } else {
        return;
    }
    switch (number) {
    case prop::Left: *left = ClampPosition(value); break;
    case prop::Top: *top = ClampPosition(value); break;
    case prop::Width: *width = ClampSize(value); break;
    case prop::Height: *height = ClampSize(value); break;
    case prop::Visible: *visible = value != 0; break;
    }
}

} // namespace
} // namespace ui::win32

namespace ui {
using namespace win32;

int GetProperty(ControlRef ref, int number) {
    Form* form = FindForm(ref.window);
    if (!form) return (ref.window >= 1 && ref.window <= WindowCount && number < 8) ? StoredProperty(ref, number) : 0;
    if (ref.control == WindowUnit) {
        RECT r{};
        GetWindowRect(form->hwnd, &r);
        switch (number) {
        case prop::Left: return r.left;
        case prop::Top: return r.top;
        case prop::Width: return r.right - r.left;
        case prop::Height: return r.bottom - r.top;
        case prop::Visible: return IsWindowVisible(form->hwnd) ? 1 : 0;
        case prop::AlwaysOnTop: return (GetWindowLongW(form->hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) ? 1 : 0;
        }
        return 0;
    }
    Control* c = FindControl(ref);
    if (!c) return 0;
    switch (number) {
    case prop::Left: return c->left;
    case prop::Top: return c->top;
    case prop::Width: return c->width;
    case prop::Height: return c->height;
    // The control's own flag: a control of a hidden window still reads as shown.
    case prop::Visible:
        return c->hwnd ? ((GetWindowLongW(c->hwnd, GWL_STYLE) & WS_VISIBLE) ? 1 : 0) : c->visible;
    case prop::Period: return c->def->kind == Kind::Timer ? c->period : 0;
    }
    return 0;
}

void SetProperty(ControlRef ref, int number, int value) {
    if (auto& observe = RuntimeObservers().propertyWrite) observe(ref, number, value);
    Form* form = FindForm(ref.window);
    if (!form) {
        // Only the stored definition can change; anything from 8 up has nothing to act on.
        if (ref.window >= 1 && ref.window <= WindowCount && number < 8) SetStoredProperty(ref, number, value);
        return;
    }
    if (ref.control == WindowUnit) return SetFormProperty(*form, number, value);
    if (Control* c = FindControl(ref)) SetControlProperty(*form, *c, number, value);
}

Text GetText(ControlRef ref) {
    Control* c = FindControl(ref);
    if (!c || !c->def) return {};
    if (c->def->kind == Kind::EditBox && c->hwnd) {
        int n = GetWindowTextLengthW(c->hwnd);
        std::wstring w(size_t(n) + 1, L'\0');
        GetWindowTextW(c->hwnd, w.data(), n + 1);
        w.resize(size_t(n));
        return Narrow(w);
    }
    return c->def->kind == Kind::Label ? c->text : Text{};
}

void SetText(ControlRef ref, const Text& text) {
    Control* c = FindControl(ref);
    if (!c || !c->def) return; // a window that is gone: nothing to write into
    if (c->def->kind == Kind::EditBox && c->hwnd) {
        SetWindowTextW(c->hwnd, Widen(text).c_str());
    } else if (c->def->kind == Kind::Label) {
        c->text = text;
        if (Form* form = FindForm(ref.window); form && c->visible) {
            RECT r{c->left, c->top, c->left + c->width, c->top + c->height};
            InvalidateRect(form->hwnd, &r, FALSE);
        }
    }
}

} // namespace ui
