// Screen-edge docking of the toolbox window: a pure decision from the cursor, the window's
// rectangle and the screen width, and the timer tick that applies it.
#pragma once
#include "ui/Types.h"

namespace toolbox {

// What one tick does: nothing, or move to a new left, or move to a new top.
struct DockMove {
    enum class Axis { None, Left, Top };
    Axis axis = Axis::None;
    int value = 0;
    bool operator==(const DockMove&) const = default;
};

// The cursor (mx, my), the window's left, top, width and height, the primary screen's width.
// No state: every tick decides afresh.
DockMove DockingDecision(int mx, int my, int L, int T, int W, int H, int S);

// Reads the cursor, the window's rectangle and the screen width, and moves one coordinate.
void DockWindow(ui::ControlRef window);

} // namespace toolbox
