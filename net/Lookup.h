#pragma once

namespace net {
// Clicked handler of the toolbox's query button.
void OnQueryClicked();
} // namespace net
