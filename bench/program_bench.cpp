// The built program against floors, from outside its process: idle and moving CPU share, working
// set, start-up time and the executable's size. Every figure is printed with its floor and the
// ratio (this machine is shared and noisy; absolute numbers are not stable, ratios are).
// LUMENO_BENCH_SECONDS sets the length of the CPU measurements (60 by default).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <windows.h>

#include "e2e/Driver.h"

namespace {

using e2e::CpuMs;
using e2e::LinuxProcess;
using e2e::WorkingSetMb;

std::wstring Path(const char* unixPath) {
    std::wstring w = L"Z:";
    for (const char* p = unixPath; *p; ++p) w += *p == '/' ? L'\\' : wchar_t(*p);
    return w;
}

struct Process {
    HANDLE handle = nullptr;
    DWORD id = 0;
    double startedMs = 0;
};

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

Process Launch(const std::wstring& exe, const std::wstring& arguments = L"") {
    std::wstring line = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    Process p;
    p.startedMs = NowMs();
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        CloseHandle(pi.hThread);
        p.handle = pi.hProcess;
        p.id = pi.dwProcessId;
    }
    return p;
}

void End(Process& p) {
    if (!p.handle) return;
    TerminateProcess(p.handle, 0);
    WaitForSingleObject(p.handle, 10000);
    CloseHandle(p.handle);
    p.handle = nullptr;
    Sleep(500); // let Wine tidy the windows and the tray before the next start
}

HWND VisibleWindow(DWORD processId, const wchar_t* className, int width, int height) {
    for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        wchar_t cls[64] = {};
        GetClassNameW(h, cls, 64);
        RECT r;
        GetWindowRect(h, &r);
        if (owner == processId && wcscmp(cls, className) == 0 && IsWindowVisible(h) &&
            r.right - r.left == width && r.bottom - r.top == height)
            return h;
    }
    return nullptr;
}

// Milliseconds from process start to its window shown; the median of five starts.
double StartUp(const std::wstring& exe, const wchar_t* className) {
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        Process p = Launch(exe);
        while (!VisibleWindow(p.id, className, 300, 130) && NowMs() - p.startedMs < 20000) Sleep(1);
        times.push_back(NowMs() - p.startedMs);
        End(p);
    }
    std::sort(times.begin(), times.end());
    return times[2];
}

// CPU share (percent of one core) over the given time, the cursor at rest or sweeping.
double CpuShare(const std::wstring& process, int seconds, bool moving) {
    double cpu0 = CpuMs(process), t0 = NowMs();
    int step = 0;
    while (NowMs() - t0 < seconds * 1000.0) {
        if (moving) {
            double a = ++step * 0.05;
            SetCursorPos(500 + int(200 * std::cos(a)), 380 + int(150 * std::sin(a)));
            Sleep(4);
        } else {
            Sleep(100);
        }
    }
    return 100.0 * (CpuMs(process) - cpu0) / (NowMs() - t0);
}

void Row(const char* figure, double value, double floor, const char* unit, double target) {
    double ratio = floor > 0 ? value / floor : 0;
    std::printf("| %s | %.2f %s | %.2f %s | %.2f | %s %.1f |\n", figure, value, unit, floor, unit, ratio,
                ratio <= target ? "met, at most" : "MISSED, at most", target);
}

long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (long long)(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

} // namespace

int main() {
    int seconds = 60;
    if (const char* s = std::getenv("LUMENO_BENCH_SECONDS")) seconds = std::max(1, std::atoi(s));
    const std::wstring product = Path(LUMENO_PRODUCT), floorIdle = Path(LUMENO_FLOOR_IDLE),
                       floorWindow = Path(LUMENO_FLOOR_WINDOW), floorTrail = Path(LUMENO_FLOOR_TRAIL);
    SetCursorPos(900, 700);

    double startUp = StartUp(product, L"LumenoForm");
    double startUpFloor = StartUp(floorWindow, L"FloorWindow");

    Process lumeno = Launch(product);
    while (!VisibleWindow(lumeno.id, L"LumenoForm", 300, 130) && NowMs() - lumeno.startedMs < 20000) Sleep(10);
    Sleep(2000);
    std::wstring proc = LinuxProcess("Lumeno.exe");
    double memoryStart = WorkingSetMb(proc);
    SetCursorPos(900, 700);
    Sleep(1000);
    double idle = CpuShare(proc, seconds, false);
    double moving = CpuShare(proc, seconds, true);
    double memoryAfter = WorkingSetMb(proc);
    End(lumeno);

    Process idleFloor = Launch(floorIdle);
    Sleep(2000);
    double idleFloorShare = CpuShare(LinuxProcess("FloorIdle.exe"), seconds, false);
    End(idleFloor);
    Process memoryFloor = Launch(floorIdle, L"--pictures");
    Sleep(3000);
    double memoryFloorMb = WorkingSetMb(LinuxProcess("FloorIdle.exe"));
    End(memoryFloor);
    Process trailFloor = Launch(floorTrail);
    Sleep(2000);
    double movingFloor = CpuShare(LinuxProcess("FloorTrail.exe"), seconds, true);
    End(trailFloor);

    std::printf("| figure (%d s runs) | Lumeno.exe | floor | ratio | target |\n", seconds);
    std::printf("|---|---:|---:|---:|---|\n");
    Row("idle CPU share", idle, idleFloorShare, "%", 1.2);
    Row("CPU share, cursor moving", moving, movingFloor, "%", 1.7);
    Row("working set after start-up", memoryStart, memoryFloorMb, "MB", 1.5);
    Row("working set after moving", memoryAfter, memoryFloorMb, "MB", 1.5);
    Row("start-up to welcome shown", startUp, startUpFloor, "ms", 1.3);
    long long size = FileSize(product);
    std::printf("| executable size | %.2f MB | | | %s 2 MB |\n", double(size) / (1024.0 * 1024.0),
                size <= 2 * 1024 * 1024 ? "met, at most" : "MISSED, at most");
    std::printf("| working set growth while moving | %+.2f MB | | | none |\n", memoryAfter - memoryStart);
    return 0;
}
