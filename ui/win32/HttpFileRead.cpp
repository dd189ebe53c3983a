#include "ui/Runtime.h"

namespace ui {
std::string HttpFileRead(const Text&) { return {}; }
} // namespace ui
