#include "windows/About.h"

#include "ui/Runtime.h"

namespace windows {
void OnAboutClose() { ui::DestroyWindow(ui::AboutForm); }
} // namespace windows
