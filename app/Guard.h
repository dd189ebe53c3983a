#pragma once

namespace app {
// True when another instance of this program (same executable name, any letter case) runs.
bool IsAlreadyRunning();
} // namespace app
