// Control kinds: picture buttons, picture boxes, edit boxes (windows) and labels (drawn by the form).
#include <string_view>
#include <windows.h>

#include "ui/Text.h"
#include "ui/win32/Internal.h"

namespace ui::win32 {
namespace {

constexpr wchar_t ButtonClass[] = L"LumenoPictureButton";
constexpr wchar_t PictureBoxClass[] = L"LumenoPictureBox";

Control* ControlOf(HWND hwnd) {
    return reinterpret_cast<Control*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void DrawPicture(HDC dc, int resource, int width, int height) {
    RECT all{0, 0, width, height};
    FillRect(dc, &all, (HBRUSH)GetStockObject(BLACK_BRUSH));
    if (!resource) return;
    HDC pictureDc = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(pictureDc, Picture(resource));
    SIZE size = PictureSize(resource);
    BitBlt(dc, 0, 0, std::min<int>(width, size.cx), std::min<int>(height, size.cy), pictureDc, 0, 0,
           SRCCOPY);
    SelectObject(pictureDc, old);
    DeleteDC(pictureDc);
}

bool Inside(HWND hwnd, LPARAM lParam) {
    RECT r;
    GetClientRect(hwnd, &r);
    POINT pt{(short)LOWORD(lParam), (short)HIWORD(lParam)};
    return PtInRect(&r, pt);
}

void Raise(HWND hwnd, Control& c) {
    InvalidateRect(hwnd, nullptr, FALSE);
    if (!c.handlers) return; // copies raise no events
    if (auto& observe = RuntimeObservers().clicked)
        if (Form* form = FormOf(GetParent(hwnd))) observe({form->def->id, c.id});
    if (c.def->clicked) c.def->clicked();
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          (LONG_PTR)reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    Control* c = ControlOf(hwnd);
    if (!c) return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        DrawPicture(dc, ShownPicture(*c), r.right, r.bottom);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_SETCURSOR:
        SetCursor(LoadCursorW(nullptr, c->def->handCursor ? IDC_HAND : IDC_ARROW));
        return TRUE;
    case WM_MOUSEMOVE: {
        if (!c->tracking) {
            TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, hwnd, 0};
            c->tracking = TrackMouseEvent(&tme);
        }
        bool over = Inside(hwnd, lParam);
        if (over != c->over) {
            c->over = over;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    }
    case WM_MOUSELEAVE:
        c->tracking = false;
        if (!c->pressed && c->over) {
            c->over = false;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // No SetFocus: the keyboard focus stays where it is (the lookup box).
        c->pressed = true;
        c->over = Inside(hwnd, lParam);
        SetCapture(hwnd);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_LBUTTONUP: {
        bool wasPressed = c->pressed;
        c->pressed = false;
        c->over = Inside(hwnd, lParam);
        if (GetCapture() == hwnd) ReleaseCapture();
        if (wasPressed && c->over) Raise(hwnd, *c);
        else InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (c->pressed) {
            c->pressed = false;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    case WM_NCDESTROY: SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0); break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK PictureBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          (LONG_PTR)reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    Control* c = ControlOf(hwnd);
    if (c && message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(dc, &r, (HBRUSH)GetStockObject(WHITE_BRUSH));
        if (int picture = c->def->pictures.normal) {
            HDC pictureDc = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(pictureDc, Picture(picture));
            SIZE size = PictureSize(picture);
            SetStretchBltMode(dc, HALFTONE);
            StretchBlt(dc, 0, 0, r.right, r.bottom, pictureDc, 0, 0, size.cx, size.cy, SRCCOPY);
            SelectObject(pictureDc, old);
            DeleteDC(pictureDc);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (message == WM_ERASEBKGND) return 1;
    if (message == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool AllowedInNumber(wchar_t ch) { return (ch >= L'0' && ch <= L'9') || ch == L'-' || ch == L'.'; }

std::wstring ClipboardText(HWND owner) {
    std::wstring text;
    if (!OpenClipboard(owner)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// An input method's result goes into the edit control directly, past WM_CHAR: what is not
// allowed is taken out again afterwards, the caret kept behind the same characters.
void KeepOnlyNumber(HWND hwnd) {
    int n = GetWindowTextLengthW(hwnd);
    std::wstring text(size_t(n) + 1, L'\0');
    GetWindowTextW(hwnd, text.data(), n + 1);
    text.resize(size_t(n));
    DWORD caret = 0;
    SendMessageW(hwnd, EM_GETSEL, 0, (LPARAM)&caret);
    std::wstring kept;
    DWORD keptCaret = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!AllowedInNumber(text[i])) continue;
        kept += text[i];
        if (i < caret) ++keptCaret;
    }
    if (kept.size() == text.size()) return;
    SetWindowTextW(hwnd, kept.c_str());
    SendMessageW(hwnd, EM_SETSEL, keptCaret, keptCaret);
}

// The edit control's own procedure, under the number filter. Kept by hand rather than through
// the common controls' subclassing, so the program does not load that library at start-up.
WNDPROC editProc = nullptr;

LRESULT DefSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(editProc, hwnd, message, wParam, lParam);
}

// Only digits, "-" and "." get into the number box, whether typed or pasted.
LRESULT CALLBACK NumberFilter(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if ((message == WM_CHAR || message == WM_IME_CHAR) && wParam >= 0x20 &&
        !AllowedInNumber(wchar_t(wParam)))
        return 0;
    if (message == WM_IME_COMPOSITION) {
        LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        KeepOnlyNumber(hwnd);
        return result;
    }
    // Shift+Insert pastes inside the edit control without a WM_PASTE: route it through ours.
    if (message == WM_KEYDOWN && wParam == VK_INSERT && (GetKeyState(VK_SHIFT) & 0x8000) &&
        !(GetKeyState(VK_CONTROL) & 0x8000)) {
        SendMessageW(hwnd, WM_PASTE, 0, 0);
        return 0;
    }
    if (message == WM_PASTE) {
        std::wstring kept;
        for (wchar_t ch : ClipboardText(hwnd))
            if (AllowedInNumber(ch)) kept += ch;
        SendMessageW(hwnd, EM_REPLACESEL, TRUE, (LPARAM)kept.c_str());
        return 0;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

HWND CreateEditBox(Form& form, Control& c) {
    const ControlDef& d = *c.def;
    DWORD style = WS_CHILD | ES_AUTOHSCROLL | (c.visible ? WS_VISIBLE : 0) | (d.sunken ? 0 : WS_BORDER);
    HWND h = CreateWindowExW(d.sunken ? WS_EX_CLIENTEDGE : 0, L"EDIT", Widen(d.text).c_str(), style,
                             c.left, c.top, c.width, c.height, form.hwnd, (HMENU)(UINT_PTR)c.id,
                             GetModuleHandleW(nullptr), nullptr);
    HFONT font = d.fontHeight ? LabelFont(d.fontHeight) : (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    SendMessageW(h, WM_SETFONT, (WPARAM)font, FALSE);
    SendMessageW(h, EM_LIMITTEXT, d.maxLength, 0); // 0: as long as the control allows
    if (d.input == Input::Number && h)
        editProc = (WNDPROC)SetWindowLongPtrW(h, GWLP_WNDPROC, (LONG_PTR)NumberFilter);
    return h;
}

} // namespace

void RegisterControlClasses(HINSTANCE instance) {
    WNDCLASSEXW wc{sizeof wc};
    wc.lpfnWndProc = ButtonProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = ButtonClass;
    RegisterClassExW(&wc);
    wc.lpfnWndProc = PictureBoxProc;
    wc.lpszClassName = PictureBoxClass;
    RegisterClassExW(&wc);
}

HWND CreateControlWindow(Form& form, Control& c) {
    const ControlDef& d = *c.def;
    DWORD visible = c.visible ? WS_VISIBLE : 0;
    switch (d.kind) {
    case Kind::PictureButton:
        return CreateWindowExW(0, ButtonClass, L"", WS_CHILD | visible, c.left, c.top, c.width,
                               c.height, form.hwnd, (HMENU)(UINT_PTR)c.id, GetModuleHandleW(nullptr), &c);
    case Kind::PictureBox:
        return CreateWindowExW(0, PictureBoxClass, L"", WS_CHILD | visible, c.left, c.top, c.width,
                               c.height, form.hwnd, (HMENU)(UINT_PTR)c.id, GetModuleHandleW(nullptr), &c);
    case Kind::EditBox: return CreateEditBox(form, c);
    case Kind::Label:
    case Kind::Timer: return nullptr;
    }
    return nullptr;
}

int ShownPicture(const Control& c) {
    const Pictures& p = c.def->pictures;
    auto or_normal = [&](int picture) { return picture ? picture : p.normal; };
    if (c.hwnd && !IsWindowEnabled(c.hwnd)) return or_normal(p.disabled);
    if (c.pressed) return c.over ? or_normal(p.pressed) : p.normal;
    if (c.over) return or_normal(p.hover);
    return p.normal;
}

void PaintLabels(Form& form, HDC dc) {
    SetBkMode(dc, TRANSPARENT);
    for (const Control& c : form.controls) {
        if (!c.def || c.def->kind != Kind::Label || !c.visible || c.text.empty()) continue;
        const ControlDef& d = *c.def;
        HGDIOBJ old = SelectObject(dc, LabelFont(d.fontHeight));
        SetTextColor(dc, d.colour);
        RECT r{c.left, c.top, c.left + c.width, c.top + c.height};
        UINT format = DT_NOPREFIX | (d.align == Align::Centre ? DT_CENTER : DT_LEFT);
        if (d.wrap) format |= DT_WORDBREAK | DT_TOP;
        else format |= DT_SINGLELINE | (d.valign == VAlign::Centre ? DT_VCENTER : DT_TOP);
        std::wstring text = Widen(c.text);
        DrawTextW(dc, text.c_str(), int(text.size()), &r, format);
        SelectObject(dc, old);
    }
}

HFONT LabelFont(int height) {
    static HFONT fonts[64] = {};
    if (height <= 0 || height >= 64) height = 19;
    if (!fonts[height]) {
        // No face name: the system's default face for Chinese text.
        fonts[height] = CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                    DEFAULT_PITCH | FF_DONTCARE, L"");
    }
    return fonts[height];
}

} // namespace ui::win32
