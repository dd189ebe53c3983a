// The built program's cursor trail, watched from outside its process.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "e2e/Driver.h"

namespace {

using namespace e2e;

TEST(TrailEndToEnd, ParticlesFollowTheCursorDriftAndFadeOut) {
    Program p = Start();
    ASSERT_TRUE(p.process);
    // Start-up is over when the welcome window shows; the particles exist by then.
    ASSERT_TRUE(WaitFor([&] { return WindowOf(p.id, L"LumenoForm", L"", 300, 130) != nullptr; }));
    std::vector<HWND> particles;
    ASSERT_TRUE(WaitFor([&] {
        particles = WindowsOf(p.id, L"LumenoPictureBox");
        return particles.size() == 20;
    })) << particles.size();
    HWND mainWindow = WindowOf(p.id, L"LumenoForm", L"", 181, 169);
    ASSERT_TRUE(mainWindow);
    EXPECT_FALSE(IsWindowVisible(mainWindow));

    // Sweep the cursor; a particle shows up with its corner at the cursor.
    bool appeared = false;
    for (int i = 0; i < 20 && !appeared; ++i) {
        int x = 200 + i * 17, y = 300 + i * 3;
        SetCursorPos(x, y);
        appeared = WaitFor([&] {
            for (HWND h : particles) {
                RECT r = Rect(h);
                if (std::abs(r.left - x) <= 1 && std::abs(r.top - y) <= 1 && LayeredAlpha(h) > 0) return true;
            }
            return false;
        }, 300);
    }
    EXPECT_TRUE(appeared);
    for (int i = 0; i < 24; ++i) { // a longer sweep for the picture
        SetCursorPos(300 + i * 18, 420 - int(120 * std::sin(i / 4.0)));
        Sleep(25);
    }
    Screenshot(L"trail");
    // They drift: soon some particle has moved more than a pixel from where it was spawned.
    std::vector<RECT> before;
    for (HWND h : particles) before.push_back(Rect(h));
    EXPECT_TRUE(WaitFor([&] {
        for (size_t i = 0; i < particles.size(); ++i) {
            RECT r = Rect(particles[i]);
            if (LayeredAlpha(particles[i]) > 0 &&
                (std::abs(r.left - before[i].left) > 1 || std::abs(r.top - before[i].top) > 1))
                return true;
        }
        return false;
    }, 3000));
    EXPECT_FALSE(IsWindowVisible(mainWindow));

    // Five seconds after the cursor stops nothing is left.
    Sleep(5000);
    for (HWND h : particles) EXPECT_EQ(LayeredAlpha(h), 0);
    EXPECT_FALSE(IsWindowVisible(mainWindow));
    Stop(p);
}

} // namespace
