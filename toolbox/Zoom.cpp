#include "toolbox/Zoom.h"

#include <cstdint>

#include "ui/Runtime.h"

namespace toolbox {

void ZoomIntoView(ui::ControlRef window, int targetWidth, int targetHeight, int step) {
    using namespace ui::prop;
    ui::SetProperty(window, Width, 0);
    ui::SetProperty(window, Height, 0);
    const int d = int(double(targetWidth) - double(targetHeight));
    // A step below 1 would never reach the target and hang the GUI thread.
    if (step < 1) step = 1;
    // 64-bit counter: n + step must not overflow near the top of the int range.
    for (int64_t n = 1; n <= targetWidth; n += step) {
        // Centred for the previous pass's size; a hidden window only remembers it (first pass).
        ui::SetProperty(window, StartPosition, 1);
        ui::SetProperty(window, AlwaysOnTop, 1);
        ui::SetProperty(window, Width, int(n));
        ui::SetProperty(window, Visible, 1);
        ui::RefreshWindow(window);
        // Negative while the width is below d: stored as 0, so only a widening line shows.
        ui::SetProperty(window, Height, int(double(n) - d));
    }
    ui::SetProperty(window, AlwaysOnTop, 0);
}

} // namespace toolbox
