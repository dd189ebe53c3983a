#include "toolbox/Docking.h"

#include <cstdint>

#include "ui/Runtime.h"

namespace toolbox {
namespace {

constexpr int SideSliver = 4;
constexpr int TopSliver = 2;
// Revealing at the right edge uses the design width, not the window's own: the window comes back
// one pixel short of the edge and so stops docking there until it is pushed against it again.
constexpr int RightRevealWidth = 380;

DockMove MoveLeft(int64_t left) {
    return {DockMove::Axis::Left, int(left)};
}
DockMove MoveTop(int64_t top) {
    return {DockMove::Axis::Top, int(top)};
}

} // namespace

DockMove DockingDecision(int mx, int my, int L, int T, int W, int H, int S) {
    // 64-bit sums: the inputs are screen coordinates, but the decision must not overflow on any.
    const int64_t left = L, top = T, right = left + W, bottom = top + H;
    // Both ends count: the column and row just past the window are inside.
    const bool inside = left <= mx && mx <= right && top <= my && my <= bottom;
    if (!inside) {
        if (left <= 0) return MoveLeft(SideSliver - int64_t(W));
        if (right >= S) return MoveLeft(int64_t(S) - SideSliver);
        if (top <= 0) return MoveTop(TopSliver - int64_t(H));
        return {};
    }
    if (left <= 0) return MoveLeft(0);
    if (left == int64_t(S) - SideSliver) return MoveLeft(int64_t(S) - RightRevealWidth);
    if (top <= 0) return MoveTop(0);
    return {};
}

void DockWindow(ui::ControlRef window) {
    const int mx = ui::MouseX();
    const int my = ui::MouseY();
    const DockMove move = DockingDecision(
        mx, my, ui::GetProperty(window, ui::prop::Left), ui::GetProperty(window, ui::prop::Top),
        ui::GetProperty(window, ui::prop::Width), ui::GetProperty(window, ui::prop::Height),
        ui::ScreenWidth());
    // The move service leaves an unchanged rectangle alone, so a settled window is not touched.
    if (move.axis == DockMove::Axis::Left) ui::MoveWindow(window, move.value, std::nullopt);
    if (move.axis == DockMove::Axis::Top) ui::MoveWindow(window, std::nullopt, move.value);
}

} // namespace toolbox
