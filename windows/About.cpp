#include "windows/About.h"

namespace windows {
void OnAboutClose() {}
} // namespace windows
