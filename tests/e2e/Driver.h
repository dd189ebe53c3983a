// Drives the built program from outside its process: start it, find its windows, click, type,
// read what a person would see.
#pragma once
#include <functional>
#include <utility>
#include <string>
#include <vector>
#include <windows.h>

namespace e2e {

// A started program; one that still runs when this goes (a failed assertion returned early) is
// ended, so it cannot outlive its test and hold the test runner's output open.
struct Program {
    HANDLE process = nullptr;
    DWORD id = 0;
    Program() = default;
    Program(Program&& other) noexcept : process(other.process), id(other.id) { other.process = nullptr; }
    Program& operator=(Program&& other) noexcept {
        std::swap(process, other.process);
        std::swap(id, other.id);
        return *this;
    }
    ~Program();
};

// Starts the stand-in build of Lumeno.exe (or a copy of it under another name).
Program Start(const std::wstring& exePath = L"");
std::wstring ProgramPath();
// Ends it if it still runs; returns its exit code (or -1 when it had to be killed).
int Stop(Program& p, DWORD waitMs = 0);
bool Running(const Program& p);

// Top-level windows (the desktop's children) of a process, optionally of one class.
std::vector<HWND> WindowsOf(DWORD processId, const wchar_t* className = nullptr);
HWND WindowOf(DWORD processId, const wchar_t* className, const std::wstring& title, int width = -1,
              int height = -1);
RECT Rect(HWND h);

// Polls until the condition holds or the time runs out.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

void MoveCursor(int x, int y);
void Click(int x, int y, bool right = false);
void Drag(POINT from, POINT to);
void TypeText(const std::wstring& text);
void PressKey(WORD vk);

// The Wine tray window and the point of the first icon in it.
HWND TrayWindow();
POINT FirstTrayIcon();

// The open pop-up menu's window and rectangle (its items live in the program's process, out of
// reach of this one: they are chosen by position).
struct Menu {
    HWND window = nullptr;
    RECT rect{};
};
Menu OpenMenu();
void ChooseMenuItem(const Menu& m, int index, int count);

// A screenshot of the whole screen as a BMP under the build folder's screens/; returns its path.
std::wstring Screenshot(const std::wstring& name);

// The alpha a layered window is shown with (0 when it has no attributes).
int LayeredAlpha(HWND h);

std::wstring Wide(const char* gbk);

// Wine does not report another process's times and memory faithfully; these read them where the
// kernel keeps them (each Windows process is a Linux process, and Z: is the Linux root).
std::wstring LinuxProcess(const std::string& exeName); // "Z:\\proc\\<pid>", newest match, or ""
double CpuMs(const std::wstring& linuxProcess);
double WorkingSetMb(const std::wstring& linuxProcess);
int OpenFiles(const std::wstring& linuxProcess);

} // namespace e2e
