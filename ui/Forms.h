// The definitions of the five windows: settings, controls, pictures and event bindings, as data.
#pragma once
#include <cstdint>
#include <span>

#include "ui/Types.h"

namespace ui {

enum class Kind { PictureButton, PictureBox, Label, EditBox, Timer };
enum class Layout { None, Tiled, Stretched };
enum class Align { Left, Centre };
enum class VAlign { Top, Centre };
enum class Input { Plain, Number };

// Resource ids; 0 means none (a missing state falls back to normal).
struct Pictures {
    int normal = 0, hover = 0, pressed = 0, disabled = 0;
};

struct ControlDef {
    const char* name;
    Kind kind;
    int left, top, width, height;
    bool visible = true;
    Pictures pictures = {};
    bool handCursor = false;
    const char* text = "";
    uint32_t colour = 0;   // COLORREF of a label's text
    Align align = Align::Left;
    VAlign valign = VAlign::Centre;
    bool wrap = false;
    int fontHeight = 0;    // 0: the default GUI font
    Input input = Input::Plain;
    int maxLength = 0;     // 0: no limit
    bool sunken = false;
    int period = 0;        // timer, ms; 0 stopped
    Handler clicked = nullptr; // picture button
    Handler tick = nullptr;    // timer
};

struct MenuItemDef {
    const char* text;
    Handler selected;
};

struct WindowDef {
    uint32_t id;
    const char* name;
    const char* title;
    int left, top, width, height;
    bool visible;
    bool taskbar;
    bool topmost;
    bool escCloses;
    bool dragAnywhere;
    int startPosition; // 1 centred
    int background;    // resource id, 0 none
    Layout layout;
    Handler created;
    TrayHandler trayEvent;
    std::span<const ControlDef> controls; // control id = index + 1
    std::span<const MenuItemDef> menu;
};

const WindowDef& Definition(uint32_t window);

// Control ids, named as in the window definitions.
namespace mainform {
enum : uint32_t { 图片框1 = 1, 图片框2, 时钟1 };
}
namespace toolbox {
enum : uint32_t {
    最小化 = 1,
    关闭窗口,
    打开计算器,
    画图工具,
    手机归属地,
    打开记事本,
    导航,
    百度一下,
    电脑应用,
    手机应用,
    返回,
    手机号码标签,
    编辑框1,
    查询,
    卡号归属地标签,
    卡号归属地显示框,
    卡号类型标签,
    卡号类型显示框,
    邮政编码标签,
    邮政编码显示框,
    区号标签,
    区号显示框,
    时钟1,
};
}
namespace updateform {
enum : uint32_t { 图形按钮2 = 1, 图形按钮3, 编辑框1, 图形按钮1, 透明标签2, 透明标签1 };
}
namespace welcome {
enum : uint32_t { 图形按钮2 = 1, 图形按钮1, 图形按钮3 };
}
namespace about {
enum : uint32_t { 图形按钮1 = 1 };
}

} // namespace ui
