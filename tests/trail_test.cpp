// The particle windows and the trail tick, on real windows: handlers called directly, the cursor
// set with SetCursorPos.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <new>
#include <vector>
#include <windows.h>

#include "app/Startup.h"
#include "support/Child.h"
#include "trail/ParticleWindow.h"
#include "trail/Trail.h"
#include "ui/Forms.h"
#include "ui/Runtime.h"

// Every allocation of the test process is counted, so a tick that allocates shows.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
static std::atomic<long> allocations{0};
void* operator new(std::size_t n) {
    ++allocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using trail::Particle;
constexpr ui::ControlRef TrailTimer{ui::MainForm, ui::mainform::时钟1};

struct Draw {
    int min, max, result;
};
std::vector<Draw> draws;

// The real start-up sequence once per process; the trail timer is then stopped so that only the
// tests tick.
void StartOnce() {
    static bool started = false;
    if (started) return;
    started = true;
    ui::RuntimeObservers().randomDraw = [](int min, int max, int r) {
        draws.push_back({min, max, r});
    };
    trail::CreateParticlePool();
    ui::RegisterReleaseRoutine(trail::ReleaseParticlePool);
    ui::LoadWindow(ui::MainForm);
    ui::RuntimeObservers().randomDraw = nullptr;
    ui::SetProperty(TrailTimer, ui::prop::Period, 0);
}

class Trail : public testing::Test {
  protected:
    void SetUp() override {
        StartOnce();
        // Trail state and particles back to their start-up values, velocities kept.
        trail::State() = {};
        for (int s = 1; s <= trail::ParticleCount; ++s) {
            Particle(s)->alpha = 0;
            Particle(s)->positionX = Particle(s)->positionY = 0;
        }
        ui::SetProperty(TrailTimer, ui::prop::Period, 0);
    }
    static void TickAt(int x, int y) {
        SetCursorPos(x, y);
        trail::TrailTick();
    }
    static HWND Window(int slot) { return ui::WindowHandle(Particle(slot)->control); }
    static RECT Rect(int slot) {
        RECT r{};
        GetWindowRect(Window(slot), &r);
        return r;
    }
};

bool IsVelocity(float v) {
    for (int n = 0; n <= 20; ++n)
        if (v == float((n - 10) / 10.0)) return true;
    return false;
}

TEST_F(Trail, StartUpMakesTwentyInvisibleClickThroughParticles) {
    ASSERT_EQ(draws.size(), 60u);
    for (size_t i = 0; i < 60; i += 3) {
        EXPECT_EQ(draws[i].min, 1) << i;
        EXPECT_EQ(draws[i].max, 2);
        EXPECT_EQ(draws[i + 1].min, 0);
        EXPECT_EQ(draws[i + 1].max, 20);
        EXPECT_EQ(draws[i + 2].max, 20);
    }
    for (int s = 1; s <= trail::ParticleCount; ++s) {
        const trail::TrailParticle& p = *Particle(s);
        EXPECT_TRUE(IsVelocity(p.velocityX) && IsVelocity(p.velocityY)) << s;
        EXPECT_EQ(p.velocityX, float((draws[size_t(s - 1) * 3 + 1].result - 10) / 10.0));
        HWND h = Window(s);
        ASSERT_TRUE(h) << s;
        EXPECT_EQ(GetAncestor(h, GA_PARENT), GetDesktopWindow());
        EXPECT_TRUE(GetWindowLongW(h, GWL_STYLE) & WS_CHILD);
        EXPECT_EQ(GetWindowLongW(h, GWL_EXSTYLE) & ~WS_EX_TOPMOST,
                  WS_EX_TOOLWINDOW | WS_EX_LAYERED | WS_EX_TRANSPARENT);
        EXPECT_TRUE(IsWindowVisible(h));
        RECT r = Rect(s);
        EXPECT_EQ(r.right - r.left, 29);
        EXPECT_EQ(r.bottom - r.top, 29);
        // Layered again with no attributes since: it shows nothing.
        COLORREF key;
        BYTE alpha = 1;
        DWORD flags = 0;
        if (GetLayeredWindowAttributes(h, &key, &alpha, &flags)) {
            EXPECT_EQ(flags & LWA_ALPHA ? alpha : 0, 0);
        }
    }
}

TEST_F(Trail, ParticleWindowsAreTopmostAndLetClicksThrough) {
    // A particle over the welcome window: the point belongs to the welcome window.
    RECT welcome{};
    GetWindowRect(ui::WindowHandle(ui::WindowRef(ui::WelcomeForm)), &welcome);
    POINT centre{welcome.left + 40, welcome.top + 40};
    TickAt(centre.x - 14, centre.y - 14);
    ASSERT_EQ(trail::State().currentSlot, 1);
    SetWindowPos(Window(1), nullptr, centre.x - 14, centre.y - 14, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND below = WindowFromPoint(centre);
    EXPECT_NE(below, Window(1));
    EXPECT_EQ(GetAncestor(below, GA_ROOT), ui::WindowHandle(ui::WindowRef(ui::WelcomeForm)));
    // In the topmost band: above the (not topmost) welcome window in z-order.
    bool particleFirst = false;
    for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT)) {
        if (h == Window(1)) {
            particleFirst = true;
            break;
        }
        if (h == ui::WindowHandle(ui::WindowRef(ui::WelcomeForm))) break;
    }
    EXPECT_TRUE(particleFirst);
    EXPECT_TRUE(GetWindowLongW(Window(1), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(Trail, SpawnRules) {
    struct Case {
        const char* what;
        std::vector<POINT> cursor; // one tick at each
        int slot;                  // currentSlot afterwards
    } cases[] = {
        {"first tick spawns in slot 1", {{100, 100}}, 1},
        {"cursor at 0,0 at the start spawns nothing", {{0, 0}}, 0},
        {"a resting cursor spawns once", {{100, 100}, {100, 100}, {100, 100}}, 1},
        {"a move in x only spawns", {{100, 100}, {101, 100}}, 2},
        {"a move in y only spawns", {{100, 100}, {100, 101}}, 2},
    };
    for (const Case& c : cases) {
        SetUp();
        for (POINT p : c.cursor)
            TickAt(p.x, p.y);
        EXPECT_EQ(trail::State().currentSlot, c.slot) << c.what;
    }
}

TEST_F(Trail, ASpawnedParticleShowsFadedAndDriftedInItsOwnTick) {
    TickAt(200, 150);
    const trail::TrailParticle& p = *Particle(1);
    EXPECT_EQ(p.alpha, 250);
    EXPECT_EQ(p.positionX, 200.0f + p.velocityX);
    RECT r = Rect(1);
    EXPECT_EQ(r.left, int(200.0f + p.velocityX));
    EXPECT_EQ(r.top, int(150.0f + p.velocityY));
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(Window(1), &key, &alpha, &flags));
    EXPECT_EQ(alpha, 250);
    EXPECT_EQ(key, 0x00FFFFFFu);
    EXPECT_EQ(flags, DWORD(LWA_COLORKEY | LWA_ALPHA));
}

TEST_F(Trail, ContinuousMovementKeepsTwentyAlphasAndReusesSlotOne) {
    for (int i = 0; i < 21; ++i)
        TickAt(100 + i, 100);
    EXPECT_EQ(trail::State().currentSlot, 1);
    // Slot 1 was respawned by the 21st move: newest, at the new cursor.
    EXPECT_EQ(Particle(1)->alpha, 250);
    EXPECT_EQ(Particle(1)->positionX, 120.0f + Particle(1)->velocityX);
    for (int age = 0; age < 20; ++age) {
        int slot = (1 - age + 40 - 1) % 20 + 1; // 1, 20, 19, ... newest to oldest
        EXPECT_EQ(Particle(slot)->alpha, 250 - 5 * age) << "slot " << slot;
        BYTE alpha = 0;
        GetLayeredWindowAttributes(Window(slot), nullptr, &alpha, nullptr);
        EXPECT_EQ(alpha, Particle(slot)->alpha);
    }
}

TEST_F(Trail, ARestingCursorLetsEverythingFadeThenTicksDoNoWindowWork) {
    TickAt(300, 300);
    for (int i = 0; i < 50; ++i)
        TickAt(300, 300);
    for (int s = 1; s <= trail::ParticleCount; ++s)
        EXPECT_EQ(Particle(s)->alpha, 0) << s;
    BYTE alpha = 99;
    GetLayeredWindowAttributes(Window(1), nullptr, &alpha, nullptr);
    EXPECT_EQ(alpha, 0); // the last update displayed it fully faded

    std::vector<std::pair<int, int>> writes;
    ui::RuntimeObservers().propertyWrite = [&](ui::ControlRef ref, int number, int value) {
        writes.push_back({int(ref.control) * 100 + number, value});
    };
    uint64_t layered = trail::LayeredAlphaCalls();
    TickAt(300, 300);
    ui::RuntimeObservers().propertyWrite = nullptr;
    int timer = int(ui::mainform::时钟1) * 100 + ui::prop::Period;
    EXPECT_EQ(writes, (std::vector<std::pair<int, int>>{{timer, 0}, {timer, 1}}));
    EXPECT_EQ(trail::LayeredAlphaCalls(), layered);
}

TEST_F(Trail, PositionsTruncateTowardZeroAndStillParticlesFadeInPlace) {
    trail::TrailParticle& p = *Particle(5);
    float vx = p.velocityX, vy = p.velocityY;
    p.velocityX = p.velocityY = 0;
    p.alpha = 100;
    p.positionX = -0.5f;
    p.positionY = -1.7f;
    trail::State().lastMouseX = 400, trail::State().lastMouseY = 400;
    for (int i = 0; i < 3; ++i)
        TickAt(400, 400);
    RECT r = Rect(5);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, -1);
    EXPECT_EQ(p.alpha, 85);
    p.velocityX = vx, p.velocityY = vy;
}

TEST_F(Trail, TicksWithTwentyActiveParticlesAllocateNothing) {
    for (int i = 0; i < 20; ++i)
        TickAt(100 + i, 200);
    long before = allocations;
    // The last spawn position is nudged instead of the cursor, so every tick spawns without
    // waiting on the X server to warp the pointer.
    for (int i = 0; i < 1000; ++i) {
        trail::State().lastMouseX = -1 - i;
        trail::TrailTick();
    }
    EXPECT_EQ(allocations - before, 0);
    for (int s = 1; s <= trail::ParticleCount; ++s)
        EXPECT_GT(Particle(s)->alpha, 0);
}

TEST_F(Trail, TimerPeriodWrites) {
    // Negative counts as 0; the period in force changes nothing, so the phase is kept.
    ui::SetProperty(TrailTimer, ui::prop::Period, -5);
    EXPECT_EQ(ui::GetProperty(TrailTimer, ui::prop::Period), 0);
    ui::SetProperty(TrailTimer, ui::prop::Period, 200);
    ui::SetProperty(TrailTimer, ui::prop::Period, 200);
    EXPECT_EQ(ui::GetProperty(TrailTimer, ui::prop::Period), 200);
    ui::SetProperty(TrailTimer, ui::prop::Period, 0);
}

// Children: exit ends the process, runs the release routine once, and never returns into a tick.
const char* MarkerFile() {
    static char path[MAX_PATH];
    GetEnvironmentVariableA("LUMENO_TEST_MARKER", path, MAX_PATH);
    return path;
}

void Mark(const char* line) {
    HANDLE f = CreateFileA(MarkerFile(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0,
                           nullptr);
    DWORD written;
    WriteFile(f, line, DWORD(strlen(line)), &written, nullptr);
    CloseHandle(f);
}

LUMENO_CHILD_SCENARIO(ExitRunsReleaseOnce) {
    ui::RegisterReleaseRoutine([] { Mark("released\n"); });
    ui::Exit(7);
    Mark("returned\n");
    return 1;
}

LUMENO_CHILD_SCENARIO(ExitInsideTick) {
    StartOnce();
    SetCursorPos(500, 500);
    trail::TrailTick(); // one active particle: the next tick lets events run
    SetTimer(nullptr, 0, 1, [](HWND, UINT, UINT_PTR, DWORD) {
        Mark("exit\n");
        ui::Exit(3);
    });
    Sleep(30);
    trail::TrailTick();
    Mark("resumed\n");
    return 1;
}

// Children run from a copy under another name: this process already holds the instance guard.
std::string RunWithMarker(const char* scenario, int& code) {
    char dir[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    GetTempFileNameA(dir, "lum", 0, path);
    SetEnvironmentVariableA("LUMENO_TEST_MARKER", path);
    code = testsupport::RunChildAs(scenario, "trail_child.exe");
    std::string text;
    HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    char buffer[256];
    DWORD n = 0;
    while (ReadFile(f, buffer, sizeof buffer, &n, nullptr) && n)
        text.append(buffer, n);
    CloseHandle(f);
    DeleteFileA(path);
    return text;
}

TEST(Exit, RunsTheReleaseRoutineOnceAndEndsWithTheCode) {
    int code = 0;
    EXPECT_EQ(RunWithMarker("ExitRunsReleaseOnce", code), "released\n");
    EXPECT_EQ(code, 7);
}

TEST(Exit, FromInsideATickEndsWithoutTheTickResuming) {
    int code = 0;
    EXPECT_EQ(RunWithMarker("ExitInsideTick", code), "exit\n");
    EXPECT_EQ(code, 3);
}

} // namespace
