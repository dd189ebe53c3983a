#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include "toolbox/Docking.h"
#include "toolbox/Toolbox.h"
#include "ui/Forms.h"
#include "ui/Runtime.h"

using toolbox::DockingDecision;
using toolbox::DockMove;

namespace {

struct Point {
    int left, top;
    bool operator==(const Point&) const = default;
};

// Where the window is after the tick: only the coordinate the decision names changes.
Point After(const DockMove& move, Point from) {
    if (move.axis == DockMove::Axis::Left) return {move.value, from.top};
    if (move.axis == DockMove::Axis::Top) return {from.left, move.value};
    return from;
}

} // namespace

// The window as the zoom leaves it, 379 x 228, on a 1024-pixel screen unless a case says else.
TEST(DockingDecision, Table) {
    struct Case {
        const char* what;
        int mx, my, L, T;
        Point expected;
        int W = 379, H = 228, S = 1024;
    } cases[] = {
        // Hide rules, cursor away from the window.
        {"left edge hides to a 4-pixel sliver", 600, 600, 0, 100, {-375, 100}},
        {"partly off the left edge hides too", 600, 600, -40, 100, {-375, 100}},
        {"hidden at the left stays hidden", 600, 600, -375, 100, {-375, 100}},
        {"a narrower window leaves the same sliver", 600, 600, 0, 100, {-196, 100}, 200},
        {"right edge hides to S - 4", 100, 600, 645, 100, {1020, 100}},
        {"past the right edge hides to S - 4", 100, 600, 900, 100, {1020, 100}},
        {"wholly on a monitor right of the primary", 100, 600, 1200, 100, {1020, 100}},
        {"top edge hides to a 2-pixel sliver", 600, 600, 100, 0, {100, -226}},
        {"above the top edge hides too", 600, 600, 100, -30, {100, -226}},
        {"top-left corner docks left, not up", 600, 600, 0, 0, {-375, 0}},
        {"right beats top", 100, 600, 645, 0, {1020, 0}},
        {"one pixel short of the right edge is left alone", 100, 600, 644, 100, {644, 100}},
        {"short of the right edge but at the top hides up", 100, 600, 644, 0, {644, -226}},
        {"touching no edge is left alone", 0, 0, 100, 5, {100, 5}},

        // Reveal rules: the left sliver covers columns 0 to 3; column 4 (L + W) counts as inside.
        {"left sliver column 0 reveals", 0, 150, -375, 100, {0, 100}},
        {"left sliver column 3 reveals", 3, 150, -375, 100, {0, 100}},
        {"column 4, one past the sliver, reveals", 4, 150, -375, 100, {0, 100}},
        {"column 5 does not reveal", 5, 150, -375, 100, {-375, 100}},
        {"row T + H still counts as inside", 2, 328, -375, 100, {0, 100}},
        {"row T + H + 1 does not", 2, 329, -375, 100, {-375, 100}},
        {"row T - 1 does not", 2, 99, -375, 100, {-375, 100}},
        {"right sliver reveals to S - 380", 1022, 150, 1020, 100, {644, 100}},
        {"right sliver's first column reveals", 1020, 150, 1020, 100, {644, 100}},
        {"left of the right sliver does not", 1019, 150, 1020, 100, {1020, 100}},
        {"top sliver reveals to top 0", 300, 1, 100, -226, {100, 0}},
        {"row 2, one past the top sliver, reveals", 300, 2, 100, -226, {100, 0}},
        {"row 3 does not", 300, 3, 100, -226, {100, -226}},
        {"left reveal keeps a top above the screen", 2, 50, -375, -10, {0, -10}},
        {"right reveal keeps a top above the screen", 1021, 50, 1020, -10, {644, -10}},

        // Cursor inside a revealed or undocked window: nothing changes.
        {"revealed at the left stays", 10, 150, 0, 100, {0, 100}},
        {"revealed at the right stays", 700, 150, 644, 100, {644, 100}},
        {"revealed at the top stays", 300, 100, 100, 0, {100, 0}},
        {"inside a window on a second monitor", 1300, 150, 1200, 100, {1200, 100}},
    };
    for (const Case& c : cases) {
        DockMove move = DockingDecision(c.mx, c.my, c.L, c.T, c.W, c.H, c.S);
        EXPECT_EQ(After(move, {c.L, c.T}), c.expected)
            << c.what << ": now " << After(move, {c.L, c.T}).left << ", "
            << After(move, {c.L, c.T}).top;
    }
}

TEST(DockingDecision, AWindowAwayFromTheEdgesIsNeverMoved) {
    // Left 100, top 5 on a wide screen, wherever the cursor is.
    const int probes[][2] = {{0, 0},    {100, 5}, {479, 233}, {300, 100},  {480, 234},
                             {1919, 0}, {99, 4},  {-50, -50}, {1919, 1079}};
    for (auto [mx, my] : probes)
        EXPECT_EQ(DockingDecision(mx, my, 100, 5, 379, 228, 1920), DockMove{})
            << "cursor " << mx << ", " << my;
}

TEST(DockingDecision, RightEdgeRoundTrip) {
    // Pushed against the edge, hidden, revealed: then it no longer docks at the right.
    const int S = 1024, W = 379, H = 228;
    Point p{700, 100};
    p = After(DockingDecision(100, 600, p.left, p.top, W, H, S), p);
    EXPECT_EQ(p, (Point{1020, 100}));
    p = After(DockingDecision(1023, 150, p.left, p.top, W, H, S), p);
    EXPECT_EQ(p, (Point{644, 100}));
    for (int tick = 0; tick < 3; ++tick)
        p = After(DockingDecision(100, 600, p.left, p.top, W, H, S), p);
    EXPECT_EQ(p, (Point{644, 100}));
}

// The tick on the real toolbox window: cursor, rectangle and screen read, one coordinate moved.
// One window for the suite; each test shows it and puts it where it needs it.
class DockingTick : public testing::Test {
  protected:
    static constexpr ui::ControlRef Window = ui::WindowRef(ui::ToolboxForm);

    static void SetUpTestSuite() {
        if (!ui::LoadWindow(ui::ToolboxForm)) return;
        hwnd = ui::WindowHandle(Window);
        // The tests drive the ticks themselves.
        ui::SetProperty({ui::ToolboxForm, ui::toolbox::时钟1}, ui::prop::Period, 0);
        SetWindowSubclass(hwnd, CountMoves, 1, 0);
    }

    static void TearDownTestSuite() {
        if (IsWindow(hwnd)) RemoveWindowSubclass(hwnd, CountMoves, 1);
        ui::DestroyWindow(ui::ToolboxForm);
        for (int i = 0; i < 100 && ui::IsLoaded(ui::ToolboxForm); ++i)
            ui::ProcessEvents();
    }

    void SetUp() override {
        ASSERT_TRUE(hwnd && IsWindow(hwnd));
        ui::SetProperty(Window, ui::prop::Visible, 1);
    }

    static LRESULT CALLBACK CountMoves(HWND h, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR) {
        if (message == WM_WINDOWPOSCHANGING) {
            auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
            if (!(pos->flags & SWP_NOMOVE) || !(pos->flags & SWP_NOSIZE)) ++moves;
        }
        return DefSubclassProc(h, message, wParam, lParam);
    }

    static void Place(int left, int top) {
        SetWindowPos(hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        moves = 0;
    }

    static void Tick(int mx, int my) {
        SetCursorPos(mx, my);
        toolbox::OnDockingTick();
    }

    static RECT Rect() {
        RECT r{};
        GetWindowRect(hwnd, &r);
        return r;
    }

    static inline HWND hwnd = nullptr;
    static inline int moves = 0;
};

TEST_F(DockingTick, HidesAndRevealsAtTheLeftMovingOneCoordinate) {
    Place(0, 200);
    Tick(600, 600);
    EXPECT_GT(moves, 0);
    RECT r = Rect();
    EXPECT_EQ(r.left, -375);
    EXPECT_EQ(r.top, 200);
    EXPECT_EQ(r.right - r.left, 379);
    EXPECT_EQ(r.bottom - r.top, 228);
    Tick(4, 300);
    r = Rect();
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 200);
    EXPECT_EQ(r.right - r.left, 379);
}

TEST_F(DockingTick, ARevealedWindowWithTheCursorInsideIsNotTouched) {
    for (Point at : {Point{0, 200}, Point{100, 0}, Point{300, 300}}) {
        Place(at.left, at.top);
        for (int tick = 0; tick < 5; ++tick)
            Tick(at.left + 50, at.top + 50);
        EXPECT_EQ(moves, 0) << "at " << at.left << ", " << at.top;
        EXPECT_EQ(Rect().left, at.left);
        EXPECT_EQ(Rect().top, at.top);
    }
}

TEST_F(DockingTick, AMinimisedWindowStillDocks) {
    Place(0, 0);
    toolbox::OnMinimiseClicked();
    ASSERT_FALSE(IsWindowVisible(hwnd));
    Tick(600, 600);
    EXPECT_EQ(Rect().left, -375);
    EXPECT_EQ(Rect().top, 0);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    Tick(1, 100);
    EXPECT_EQ(Rect().left, 0);
    EXPECT_FALSE(IsWindowVisible(hwnd));
}
