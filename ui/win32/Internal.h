// Internals of the Win32 run time, shared by its files and by the window tests.
#pragma once
#include <deque>
#include <memory>
#include <vector>
#include <windows.h>

#include "ui/Forms.h"
#include "ui/Runtime.h"

namespace ui::win32 {

constexpr UINT WM_APP_TRAY = WM_APP + 1;
constexpr UINT WM_APP_DESTROY = WM_APP + 2;

struct Control {
    const ControlDef* def = nullptr;
    uint32_t id = 0;
    HWND hwnd = nullptr; // labels and timers have none
    int left = 0, top = 0, width = 0, height = 0;
    bool visible = false;
    bool handlers = true; // copies raise no events
    Text text;            // labels
    int period = 0;       // timers: the period in force, 0 stopped
    int systemPeriod = 0; // the period the system timer runs with; it outlives a stop
    bool over = false, pressed = false, tracking = false; // picture buttons
};

struct Form {
    const WindowDef* def = nullptr;
    HWND hwnd = nullptr;
    std::deque<Control> controls; // control id = index + 1; stable addresses for copies
    bool modalPending = false;    // loaded modal while hidden: the loop starts when shown
    bool destroying = false;
    HWND lastFocus = nullptr;
};

// A window's definition as changed by writes while it was not loaded.
struct StoredControl {
    int left, top, width, height;
    bool visible;
};
struct StoredWindow {
    int left, top, width, height;
    bool visible;
    bool placed; // left or top written: used instead of centring
    std::vector<StoredControl> controls;
};

Form* FindForm(uint32_t window);
Form* FormOf(HWND hwnd);
Control* FindControl(ControlRef ref);
StoredWindow& Stored(uint32_t window);

// Decoded pictures, composed on white, cached for the life of the process.
HBITMAP Picture(int resource);
SIZE PictureSize(int resource);
HFONT LabelFont(int height);

// Control windows.
void RegisterControlClasses(HINSTANCE instance);
HWND CreateControlWindow(Form& form, Control& control);
void PaintLabels(Form& form, HDC dc);
int ShownPicture(const Control& control); // the picture a button shows now, 0 none

// Marks a modal loop run by the system (menu tracking, message box, window move) for its lifetime.
struct ForeignLoop {
    static inline int depth = 0;
    ForeignLoop() { ++depth; }
    ~ForeignLoop() { --depth; }
    ForeignLoop(const ForeignLoop&) = delete;
    ForeignLoop& operator=(const ForeignLoop&) = delete;
};

// Modal loop until the form is gone.
void RunModalLoop(uint32_t window);
bool PumpMessage(MSG& msg);

// The tray icon of a window, kept to re-add it when the taskbar comes back.
void ReAddTrayIcon();
void RemoveTrayIcon();
UINT TaskbarCreatedMessage();

} // namespace ui::win32
