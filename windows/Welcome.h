#pragma once

namespace windows {
void OnWelcomeYes();
void OnWelcomeNo();
void OnWelcomeClose();
} // namespace windows
