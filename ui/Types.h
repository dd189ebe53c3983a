// Basic vocabulary shared by every subsystem: text, control references, property numbers.
#pragma once
#include <cstdint>
#include <string>

namespace ui {

// Text is a byte string in GBK (code page 936): narrow literals are GBK through -fexec-charset.
using Text = std::string;

// A window or a control of a window. A window itself is named by its own unit, WindowUnit.
struct ControlRef {
    uint32_t window = 0;
    uint32_t control = 0;
    bool operator==(const ControlRef&) const = default;
};

constexpr uint32_t WindowUnit = 0;

enum WindowId : uint32_t {
    MainForm = 1,
    ToolboxForm,
    UpdateForm,
    WelcomeForm,
    AboutForm,
};
constexpr uint32_t WindowCount = 5;

constexpr ControlRef WindowRef(uint32_t window) { return {window, WindowUnit}; }

// Numbered properties of windows and controls.
namespace prop {
enum : int {
    Left = 0,
    Top = 1,
    Width = 2,
    Height = 3,
    Visible = 5,
    Period = 8, // timer
    Text = 8,   // edit box, transparent label
    StartPosition = 18,
    AlwaysOnTop = 29,
};
}

using Handler = void (*)();
using TrayHandler = void (*)(int code);

} // namespace ui
