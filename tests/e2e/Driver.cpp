#include "e2e/Driver.h"

#include <algorithm>

#include "ui/Text.h"

namespace e2e {

namespace {
std::wstring WindowsPath(std::string unixPath) {
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
    return L"Z:" + std::wstring(unixPath.begin(), unixPath.end());
}

void SendMouse(DWORD flags, int x = 0, int y = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = LONG(x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1));
    in.mi.dy = LONG(y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1));
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof in);
}
} // namespace

std::wstring Wide(const char* gbk) { return ui::Widen(gbk); }

std::wstring ProgramPath() { return WindowsPath(LUMENO_PROGRAM); }

Program Start(const std::wstring& exePath) {
    std::wstring path = exePath.empty() ? ProgramPath() : exePath;
    std::wstring line = L"\"" + path + L"\"";
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    Program p;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        CloseHandle(pi.hThread);
        p.process = pi.hProcess;
        p.id = pi.dwProcessId;
    }
    return p;
}

Program::~Program() {
    if (!process) return;
    TerminateProcess(process, DWORD(-1));
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
}

bool Running(const Program& p) { return p.process && WaitForSingleObject(p.process, 0) == WAIT_TIMEOUT; }

int Stop(Program& p, DWORD waitMs) {
    if (!p.process) return -2;
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(p.process, waitMs) == WAIT_OBJECT_0) GetExitCodeProcess(p.process, &code);
    else {
        TerminateProcess(p.process, DWORD(-1));
        WaitForSingleObject(p.process, 5000);
    }
    CloseHandle(p.process);
    p.process = nullptr;
    return int(code);
}

std::vector<HWND> WindowsOf(DWORD processId, const wchar_t* className) {
    std::vector<HWND> found;
    for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner != processId) continue;
        wchar_t cls[64] = {};
        GetClassNameW(h, cls, 64);
        if (!className || wcscmp(cls, className) == 0) found.push_back(h);
    }
    return found;
}

RECT Rect(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return r;
}

HWND WindowOf(DWORD processId, const wchar_t* className, const std::wstring& title, int width, int height) {
    for (HWND h : WindowsOf(processId, className)) {
        wchar_t text[128] = {};
        GetWindowTextW(h, text, 128);
        RECT r = Rect(h);
        if (title == text && (width < 0 || r.right - r.left == width) &&
            (height < 0 || r.bottom - r.top == height))
            return h;
    }
    return nullptr;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

void MoveCursor(int x, int y) { SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y); }

void Click(int x, int y, bool right) {
    MoveCursor(x, y);
    Sleep(50);
    SendMouse(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
    Sleep(50);
    SendMouse(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
    Sleep(50);
}

void Drag(POINT from, POINT to) {
    MoveCursor(from.x, from.y);
    Sleep(50);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    Sleep(100);
    for (int i = 1; i <= 10; ++i) {
        MoveCursor(from.x + (to.x - from.x) * i / 10, from.y + (to.y - from.y) * i / 10);
        Sleep(30);
    }
    SendMouse(MOUSEEVENTF_LEFTUP);
    Sleep(100);
}

void PressKey(WORD vk) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
    Sleep(30);
}

void TypeText(const std::wstring& text) {
    for (wchar_t ch : text) {
        SHORT key = VkKeyScanW(ch);
        INPUT in[2] = {};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        if (key != -1 && !(key & 0x0100)) { // a key of its own, no shift: type it as a person would
            in[0].ki.wVk = in[1].ki.wVk = WORD(key & 0xFF);
            in[0].ki.wScan = in[1].ki.wScan = WORD(MapVirtualKeyW(key & 0xFF, MAPVK_VK_TO_VSC));
            in[1].ki.dwFlags = KEYEVENTF_KEYUP;
        } else {
            in[0].ki.wScan = in[1].ki.wScan = ch;
            in[0].ki.dwFlags = KEYEVENTF_UNICODE;
            in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        }
        SendInput(2, in, sizeof(INPUT));
        Sleep(20);
    }
}

HWND TrayWindow() {
    // Without a tray manager on the X display Wine shows its own small tray window.
    HWND h = FindWindowW(nullptr, L"Wine System Tray");
    return h ? h : FindWindowW(L"Shell_TrayWnd", nullptr);
}

POINT FirstTrayIcon() {
    RECT r{};
    GetClientRect(TrayWindow(), &r);
    POINT p{r.bottom / 2, r.bottom / 2}; // icons are square, laid out from the left
    ClientToScreen(TrayWindow(), &p);
    return p;
}

Menu OpenMenu() {
    Menu m;
    m.window = FindWindowW(L"#32768", nullptr);
    if (!m.window || !IsWindowVisible(m.window)) return {};
    m.rect = Rect(m.window);
    return m;
}

void ChooseMenuItem(const Menu& m, int index, int count) {
    Sleep(300); // the menu starts tracking the mouse a moment after it shows
    // Items are stacked evenly inside the menu's thin frame.
    int height = (m.rect.bottom - m.rect.top - 4) / std::max(1, count);
    Click((m.rect.left + m.rect.right) / 2, m.rect.top + 2 + height * index + height / 2);
}

std::wstring Screenshot(const std::wstring& name) {
    char build[MAX_PATH] = {};
    GetEnvironmentVariableA("LUMENO_BUILD", build, MAX_PATH);
    std::wstring dir = WindowsPath(std::string(build) + "/screens");
    CreateDirectoryW(dir.c_str(), nullptr);
    std::wstring path = dir + L"\\" + name + L".bmp";
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DWORD stride = DWORD((w * 3 + 3) & ~3), size = stride * DWORD(h);
    BITMAPFILEHEADER file{0x4D42, DWORD(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size), 0, 0,
                          DWORD(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))};
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(f, &file, sizeof file, &written, nullptr);
    WriteFile(f, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr);
    WriteFile(f, bits, size, &written, nullptr);
    CloseHandle(f);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return path;
}

// Wine does not report another process's times and memory faithfully, so they are read where the
// kernel keeps them: each Windows process is a Linux process, and Z: is the Linux root.
static std::string ReadLinuxFile(const std::wstring& path) {
    std::string text;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return text;
    char buffer[4096];
    DWORD n = 0;
    while (::ReadFile(f, buffer, sizeof buffer, &n, nullptr) && n) text.append(buffer, n);
    CloseHandle(f);
    return text;
}

// The newest Linux process whose command line names the executable.
std::wstring LinuxProcess(const std::string& exeName) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
    long best = -1;
    do {
        long pid = std::wcstol(found.cFileName, nullptr, 10);
        if (pid <= 0 || pid <= best) continue;
        std::string line = ReadLinuxFile(L"Z:\\proc\\" + std::to_wstring(pid) + L"\\cmdline");
        if (line.find(exeName) != std::string::npos && line.find("program_bench") == std::string::npos)
            best = pid;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return best < 0 ? L"" : L"Z:\\proc\\" + std::to_wstring(best);
}

double CpuMs(const std::wstring& proc) {
    std::string stat = ReadLinuxFile(proc + L"\\stat");
    size_t at = stat.rfind(')');
    if (at == std::string::npos) return 0;
    // Fields after the command: state is field 3; utime and stime are fields 14 and 15.
    unsigned long long utime = 0, stime = 0;
    std::sscanf(stat.c_str() + at + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime);
    return double(utime + stime) * 10.0; // clock ticks of 10 ms
}

double WorkingSetMb(const std::wstring& proc) {
    std::string status = ReadLinuxFile(proc + L"\\status");
    size_t at = status.find("VmRSS:");
    return at == std::string::npos ? 0 : std::atof(status.c_str() + at + 6) / 1024.0;
}

int OpenFiles(const std::wstring& proc) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((proc + L"\\fd\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do n += found.cFileName[0] != L'.';
    while (FindNextFileW(search, &found));
    FindClose(search);
    return n;
}

int LayeredAlpha(HWND h) {
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!GetLayeredWindowAttributes(h, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA)) return 0;
    return alpha;
}

} // namespace e2e
