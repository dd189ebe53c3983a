// Run-time services outside the windows: start-up, input, random numbers, exit, tray, shell.
#include <cstdlib>
#include <utility>
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include "ui/Text.h"
#include "ui/win32/Internal.h"

namespace ui::win32 {

void RegisterFormClass(HINSTANCE instance);

namespace {

void (*releaseRoutine)() = nullptr;
NOTIFYICONDATAW trayIcon{};
bool trayIconAdded = false;

Effects RealEffects() {
    Effects e;
    e.openUrl = [](const Text& url) {
        ShellExecuteW(nullptr, L"open", Widen(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    };
    e.runProgram = [](const Text& commandLine, bool wait) {
        std::wstring line = Widen(commandLine);
        STARTUPINFOW si{sizeof si};
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return false;
        if (wait) WaitForSingleObject(pi.hProcess, INFINITE);
        else WaitForInputIdle(pi.hProcess, 1000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return true;
    };
    e.shellExecute = [](const Text& target) {
        ShellExecuteW(nullptr, nullptr, Widen(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    };
    e.messageBox = [](const Text& text, int style, const Text& title) {
        ForeignLoop dialog;
        int answer = MessageBoxW(nullptr, Widen(text).c_str(), Widen(title).c_str(),
                                 UINT(style) | MB_TASKMODAL);
        return answer > 0 ? answer - 1 : 0; // IDOK 1 .. IDNO 7 become 0 .. 6
    };
    return e;
}

Text CutToBytes(const Text& text, size_t limit) {
    size_t i = 0;
    while (i < text.size()) {
        size_t step = IsLeadByte((unsigned char)text[i]) ? 2 : 1;
        if (i + step > limit) break;
        i += step;
    }
    return text.substr(0, i);
}

} // namespace

UINT TaskbarCreatedMessage() {
    static UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

void ReAddTrayIcon() {
    if (!trayIconAdded) return;
    Shell_NotifyIconW(NIM_ADD, &trayIcon);
}

void RemoveTrayIcon() {
    if (!trayIconAdded) return;
    Shell_NotifyIconW(NIM_DELETE, &trayIcon);
    trayIconAdded = false;
}

} // namespace ui::win32

namespace ui {
using namespace win32;

Effects& ReplaceableEffects() {
    static Effects effects = RealEffects();
    return effects;
}

void RestoreEffects() { ReplaceableEffects() = RealEffects(); }

Observers& RuntimeObservers() {
    static Observers observers;
    return observers;
}

void Initialise() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        if (wchar_t* slash = wcsrchr(path, L'\\')) *slash = 0;
        SetCurrentDirectoryW(path);
    }
    OleInitialize(nullptr);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterFormClass(instance);
    RegisterControlClasses(instance);
    TaskbarCreatedMessage();
}

int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

int MouseX() {
    POINT pt{};
    GetCursorPos(&pt);
    return pt.x;
}

int MouseY() {
    POINT pt{};
    GetCursorPos(&pt);
    return pt.y;
}

void SeedRandom() {
    static unsigned counter = 0;
    srand(unsigned(GetTickCount()) + counter++);
}

int RandomNumber(int min, int max) {
    if (min < 0) min = 0;
    if (max < 0) max = 0;
    int r = rand();
    int result = max >= min ? min + r % (max - min + 1) : min;
    if (auto& observe = RuntimeObservers().randomDraw) observe(min, max, result);
    return result;
}

void RegisterReleaseRoutine(void (*routine)()) { releaseRoutine = routine; }

void Exit(int code) {
    if (auto routine = std::exchange(releaseRoutine, nullptr)) routine();
    RemoveTrayIcon();
    if (auto& recorder = ReplaceableEffects().exit) return recorder(code);
    ExitProcess(UINT(code));
}

void SetTrayIcon(uint32_t window, int iconResource, const Text& tip) {
    Form* form = FindForm(window);
    if (!form) return;
    NOTIFYICONDATAW& d = trayIcon;
    d = {};
    d.cbSize = sizeof d;
    d.hWnd = form->hwnd;
    d.uID = 1;
    d.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    d.uCallbackMessage = WM_APP_TRAY;
    d.hIcon = (HICON)LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconResource), IMAGE_ICON,
                                GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0);
    std::wstring wideTip = Widen(CutToBytes(tip, 62));
    wcsncpy(d.szTip, wideTip.c_str(), ARRAYSIZE(d.szTip) - 1);
    if (!Shell_NotifyIconW(trayIconAdded ? NIM_MODIFY : NIM_ADD, &d) && trayIconAdded)
        Shell_NotifyIconW(NIM_ADD, &d);
    trayIconAdded = true;
}

void PopUpMenu(uint32_t window) {
    Form* form = FindForm(window);
    if (!form || form->def->menu.empty()) return;
    HMENU menu = CreatePopupMenu();
    UINT id = 1;
    for (const MenuItemDef& item : form->def->menu)
        AppendMenuW(menu, MF_STRING, id++, Widen(item.text).c_str());
    POINT pt{};
    GetCursorPos(&pt);
    HWND hwnd = form->hwnd;
    SetForegroundWindow(hwnd);
    UINT chosen = 0;
    {
        ForeignLoop tracking;
        chosen = (UINT)TrackPopupMenu(menu, TPM_RIGHTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_RIGHTBUTTON,
                                      pt.x - 5, pt.y - 5, 0, hwnd, nullptr);
    }
    PostMessageW(hwnd, WM_NULL, 0, 0);
    DestroyMenu(menu);
    if (chosen >= 1 && chosen <= form->def->menu.size()) form->def->menu[chosen - 1].selected();
}

int ShowMessageBox(const Text& text, int style, const Text& title) {
    return ReplaceableEffects().messageBox(text, style, title);
}

std::vector<ProcessEntry> ProcessList() {
    std::vector<ProcessEntry> list;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return list;
    PROCESSENTRY32W entry{sizeof entry};
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        std::wstring name = entry.szExeFile;
        if (size_t slash = name.find_last_of(L"\\/"); slash != std::wstring::npos) name.erase(0, slash + 1);
        list.push_back({entry.th32ProcessID, Narrow(name)});
    }
    CloseHandle(snapshot);
    return list;
}

Text ExecutableName() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, n);
    if (size_t slash = name.find_last_of(L"\\/"); slash != std::wstring::npos) name.erase(0, slash + 1);
    return Narrow(name);
}

void OpenUrl(const Text& url) { ReplaceableEffects().openUrl(url); }
bool RunProgram(const Text& commandLine, bool wait) {
    return ReplaceableEffects().runProgram(commandLine, wait);
}
void ShellExecuteTarget(const Text& target) { ReplaceableEffects().shellExecute(target); }

} // namespace ui
