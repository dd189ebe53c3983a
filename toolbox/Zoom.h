// The opening zoom of the toolbox window: from a line in the middle of the screen to full size.
#pragma once
#include "ui/Types.h"

namespace toolbox {

// Grows the hidden window in passes of `step` pixels until its width would pass targetWidth,
// its height trailing the width by (targetWidth - targetHeight); clears always on top at the end.
// Expects targetWidth > targetHeight. Runs to its end without letting events run.
void ZoomIntoView(ui::ControlRef window, int targetWidth, int targetHeight, int step);

} // namespace toolbox
