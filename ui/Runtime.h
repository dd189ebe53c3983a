// The run-time services: every window, control, timer, tray icon, message box, process and shell
// action of the program is reached through these, on the one GUI thread.
#pragma once
#include <functional>
#include <optional>
#include <vector>

#include "ui/Types.h"

struct HWND__;

namespace ui {

using NativeHandle = HWND__*;

// Start-up: current directory, OLE, window classes.
void Initialise();

// Windows built from their definitions.
bool LoadWindow(uint32_t window, std::optional<uint32_t> parent = std::nullopt, bool modal = false);
void DestroyWindow(uint32_t window); // queued until the running handler returns
bool IsLoaded(uint32_t window);
void MoveWindow(ControlRef ref, std::optional<int> left, std::optional<int> top,
                std::optional<int> width = std::nullopt, std::optional<int> height = std::nullopt);
void RefreshWindow(ControlRef ref);
NativeHandle WindowHandle(ControlRef ref);
ControlRef CopyControl(ControlRef source);

// Numbered properties (prop:: in Types.h).
int GetProperty(ControlRef ref, int number);
void SetProperty(ControlRef ref, int number, int value);
Text GetText(ControlRef ref);                   // property 8 of an edit box or label
void SetText(ControlRef ref, const Text& text); // property 8 of an edit box or label

int ScreenWidth();
int ScreenHeight();
int MouseX();
int MouseY();

// Runs every pending message now; handlers may run inside.
void ProcessEvents();
// Runs until the last loaded window is gone or the process exits; returns 0.
int RunMessageLoop();

void SeedRandom();
int RandomNumber(int min, int max);

void RegisterReleaseRoutine(void (*routine)());
void Exit(int code); // runs the release routine once, removes the tray icon, ends the process

// Tray icon (resource id of an icon) and the pop-up of a window's menu.
void SetTrayIcon(uint32_t window, int iconResource, const Text& tip);
void PopUpMenu(uint32_t window);

int ShowMessageBox(const Text& text, int style, const Text& title);

struct ProcessEntry {
    uint32_t id;
    Text name;
};
std::vector<ProcessEntry> ProcessList();
Text ExecutableName();

void OpenUrl(const Text& url);
bool RunProgram(const Text& commandLine, bool wait);
void ShellExecuteTarget(const Text& target);

// One GET, HTTP/1.0, never from or into the cache; empty on any failure.
std::string HttpFileRead(const Text& url);

// The services with effects outside the program; tests replace them with recorders.
struct Effects {
    std::function<void(const Text&)> openUrl;
    std::function<bool(const Text&, bool)> runProgram;
    std::function<void(const Text&)> shellExecute;
    std::function<int(const Text&, int, const Text&)> messageBox;
    std::function<void(int)> exit; // called after the release routine, instead of ending
};
Effects& ReplaceableEffects();
void RestoreEffects();

// Observers for tests and benchmarks; empty in the product.
struct Observers {
    std::function<void(ControlRef, int number, int value)> propertyWrite;
    std::function<void(int min, int max, int result)> randomDraw;
    std::function<void(uint32_t window)> created; // just before a window's created event
    std::function<void(ControlRef)> clicked;       // just before a picture button's clicked event
    std::function<void(ControlRef)> tick;          // just before a timer's tick event
};
Observers& RuntimeObservers();

} // namespace ui
