#include "ui/Forms.h"

#include "app/Startup.h"
#include "app/Tray.h"
#include "assets/resource.h"
#include "net/Lookup.h"
#include "toolbox/Toolbox.h"
#include "trail/Trail.h"
#include "windows/About.h"
#include "windows/Update.h"
#include "windows/Welcome.h"

namespace ui {
namespace {

constexpr uint32_t White = 0xFFFFFF;
constexpr uint32_t Black = 0x000000;

constexpr Pictures Ring{.normal = IDP_RING};
constexpr Pictures Close{IDP_CLOSE, IDP_CLOSE_HOVER, IDP_CLOSE_HOVER};

constexpr Pictures Tile(int normal) { return {normal, normal + 1, normal + 1}; }

// Main window: hidden; holds the particle templates, the trail timer and the tray menu.
constexpr ControlDef mainControls[] = {
    {.name = "图片框1", .kind = Kind::PictureBox, .left = 24, .top = 24, .width = 29, .height = 29,
     .visible = false, .pictures = Ring},
    {.name = "图片框2", .kind = Kind::PictureBox, .left = 80, .top = 80, .width = 29, .height = 29,
     .visible = false, .pictures = Ring},
    {.name = "时钟1", .kind = Kind::Timer, .left = 136, .top = 72, .width = 40, .height = 40,
     .visible = false, .period = 0, .tick = trail::TrailTick},
};

constexpr MenuItemDef trayMenu[] = {
    {"打开工具箱", app::OnMenuOpenToolbox}, {"网址导航", app::OnMenuNavigation},
    {"软件推荐", app::OnMenuRecommended},   {"Lumeno官网", app::OnMenuHomePage},
    {"软件更新", app::OnMenuUpdate},       {"关于", app::OnMenuAbout},
    {"退出", app::OnMenuExit},
};

constexpr ControlDef Button(const char* name, int left, int top, int width, int height,
                            Pictures pictures, Handler clicked, bool hand, bool visible = true) {
    return {.name = name, .kind = Kind::PictureButton, .left = left, .top = top, .width = width,
            .height = height, .visible = visible, .pictures = pictures, .handCursor = hand,
            .clicked = clicked};
}

constexpr ControlDef Label(const char* name, int left, int top, int width, int height,
                           const char* text, uint32_t colour) {
    return {.name = name, .kind = Kind::Label, .left = left, .top = top, .width = width,
            .height = height, .visible = false, .text = text, .colour = colour,
            .align = Align::Left, .valign = VAlign::Centre, .fontHeight = 19};
}

constexpr ControlDef toolboxControls[] = {
    Button("最小化", 310, 0, 28, 28, {IDP_MINIMIZE, IDP_MINIMIZE_HOVER, IDP_MINIMIZE_HOVER},
           ::toolbox::OnMinimiseClicked, false),
    Button("关闭窗口", 338, 0, 28, 28, Close, ::toolbox::OnCloseClicked, false),
    Button("打开计算器", 20, 50, 70, 70, Tile(IDP_TILE_CALC), ::toolbox::OnCalculatorClicked, true),
    Button("画图工具", 110, 50, 70, 70, Tile(IDP_TILE_PAINT), ::toolbox::OnPaintClicked, true),
    Button("手机归属地", 200, 50, 70, 70, Tile(IDP_TILE_LOOKUP), ::toolbox::OnLookupViewClicked, true),
    Button("打开记事本", 290, 50, 70, 70, Tile(IDP_TILE_NOTEPAD), ::toolbox::OnNotepadClicked, true),
    Button("导航", 20, 136, 70, 70, Tile(IDP_TILE_NAV), ::toolbox::OnNavigationClicked, true),
    Button("百度一下", 110, 136, 70, 70, Tile(IDP_TILE_BAIDU), ::toolbox::OnSearchClicked, true),
    Button("电脑应用", 200, 136, 70, 70, Tile(IDP_TILE_PCAPPS), ::toolbox::OnPcAppsClicked, true),
    Button("手机应用", 290, 136, 70, 70, Tile(IDP_TILE_MOBILEAPPS), ::toolbox::OnMobileAppsClicked, true),
    Button("返回", 0, 35, 56, 30, {IDP_BACK, IDP_BACK_HOVER, IDP_BACK_HOVER}, ::toolbox::OnBackClicked, true,
           false),
    Label("手机号码标签", 56, 72, 120, 32, "  手机号码：", White),
    {.name = "编辑框1", .kind = Kind::EditBox, .left = 168, .top = 72, .width = 120, .height = 24,
     .visible = false, .colour = Black, .fontHeight = 19, .input = Input::Number, .maxLength = 11},
    Button("查询", 288, 72, 56, 30, {IDP_QUERY, IDP_QUERY_HOVER, IDP_QUERY_HOVER},
           net::OnQueryClicked, true, false),
    Label("卡号归属地标签", 56, 104, 120, 24, "卡号归属地：", White),
    Label("卡号归属地显示框", 168, 104, 152, 24, "", Black),
    Label("卡号类型标签", 56, 136, 120, 24, "  卡号类型：", White),
    Label("卡号类型显示框", 168, 136, 152, 24, "", Black),
    Label("邮政编码标签", 56, 168, 120, 24, "  邮政编码：", White),
    Label("邮政编码显示框", 168, 168, 152, 24, "", Black),
    Label("区号标签", 56, 200, 120, 24, "      区号：", White),
    Label("区号显示框", 168, 200, 152, 24, "", Black),
    {.name = "时钟1", .kind = Kind::Timer, .left = 632, .top = 120, .width = 32, .height = 32,
     .visible = false, .period = 100, .tick = ::toolbox::OnDockingTick},
};

constexpr ControlDef UpdateLabel(const char* name, const char* text, VAlign valign, bool wrap) {
    return {.name = name, .kind = Kind::Label, .left = 75, .top = 96, .width = 264, .height = 64,
            .visible = false, .text = text, .colour = White, .align = Align::Centre,
            .valign = valign, .wrap = wrap, .fontHeight = 29};
}

constexpr ControlDef updateControls[] = {
    Button("图形按钮2", 139, 104, 136, 48, {IDP_CHECK_UPDATE, IDP_CHECK_UPDATE_HOVER,
                                            IDP_CHECK_UPDATE_HOVER},
           windows::OnCheckUpdateClicked, true, false),
    Button("图形按钮3", 376, 0, 28, 28, Close, windows::OnUpdateCloseClicked, false),
    {.name = "编辑框1", .kind = Kind::EditBox, .left = 272, .top = 224, .width = 88, .height = 16,
     .visible = false, .text = "1.4", .sunken = true},
    // No pressed picture: it keeps its normal picture while held.
    Button("图形按钮1", 128, 176, 136, 48, {IDP_CONFIRM_UPDATE, IDP_CONFIRM_UPDATE_HOVER},
           windows::OnConfirmUpdateClicked, true, false),
    UpdateLabel("透明标签2", "软件有更新！\r\n现在是否更新？", VAlign::Top, true),
    UpdateLabel("透明标签1", "软件已是最新版本！", VAlign::Centre, false),
};

constexpr Pictures Answer(int normal) { return {normal, normal + 1, normal + 1, normal + 1}; }

constexpr ControlDef welcomeControls[] = {
    Button("图形按钮2", 78, 72, 48, 32, Answer(IDP_WELCOME_NO), windows::OnWelcomeNo, false),
    Button("图形按钮1", 174, 72, 48, 32, Answer(IDP_WELCOME_YES), windows::OnWelcomeYes, false),
    Button("图形按钮3", 264, 0, 35, 35, Close, windows::OnWelcomeClose, false),
};

constexpr ControlDef aboutControls[] = {
    Button("图形按钮1", 447, 0, 36, 36, Close, windows::OnAboutClose, false),
};

const WindowDef definitions[] = {
    {.id = MainForm, .name = "主窗口", .title = "", .left = 0, .top = 0, .width = 181,
     .height = 169, .visible = false, .taskbar = false, .topmost = true, .escCloses = true,
     .dragAnywhere = false, .startPosition = 1, .background = 0, .layout = Layout::None,
     .created = app::OnMainWindowCreated, .trayEvent = app::OnTrayEvent,
     .controls = mainControls, .menu = trayMenu},
    {.id = ToolboxForm, .name = "工具箱", .title = "Lumeno助手", .left = 50, .top = 56,
     .width = 380, .height = 230, .visible = false, .taskbar = true, .topmost = true,
     .escCloses = true, .dragAnywhere = true, .startPosition = 1, .background = IDP_TOOLBOX_BG,
     .layout = Layout::Tiled, .created = ::toolbox::OnToolboxCreated, .trayEvent = nullptr,
     .controls = toolboxControls, .menu = {}},
    {.id = UpdateForm, .name = "软件更新", .title = "", .left = 0, .top = 0, .width = 415,
     .height = 250, .visible = true, .taskbar = true, .topmost = false, .escCloses = true,
     .dragAnywhere = false, .startPosition = 1, .background = IDP_UPDATE_BG,
     .layout = Layout::Stretched, .created = windows::OnUpdateCreated, .trayEvent = nullptr,
     .controls = updateControls, .menu = {}},
    {.id = WelcomeForm, .name = "欢迎", .title = "", .left = 0, .top = 0, .width = 300,
     .height = 130, .visible = true, .taskbar = true, .topmost = false, .escCloses = true,
     .dragAnywhere = false, .startPosition = 1, .background = IDP_WELCOME_BG,
     .layout = Layout::Stretched, .created = nullptr, .trayEvent = nullptr,
     .controls = welcomeControls, .menu = {}},
    {.id = AboutForm, .name = "关于", .title = "Lumeno   一个全新的开始", .left = 0, .top = 0,
     .width = 483, .height = 247, .visible = true, .taskbar = true, .topmost = false,
     .escCloses = true, .dragAnywhere = false, .startPosition = 1, .background = IDP_ABOUT_BG,
     .layout = Layout::Tiled, .created = nullptr, .trayEvent = nullptr,
     .controls = aboutControls, .menu = {}},
};

} // namespace

const WindowDef& Definition(uint32_t window) { return definitions[window - 1]; }

} // namespace ui
