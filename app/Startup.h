#pragma once

namespace app {
int StartRoutine();
void OnMainWindowCreated();
} // namespace app
