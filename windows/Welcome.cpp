#include "windows/Welcome.h"

namespace windows {
void OnWelcomeYes() {}
void OnWelcomeNo() {}
void OnWelcomeClose() {}
} // namespace windows
