#pragma once

namespace windows {
void OnAboutClose();
} // namespace windows
