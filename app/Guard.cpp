// Single instance, decided by the whole executable name. A named mutex keyed by that name (lower
// case) is created by every instance and never closed: the first one to create it runs, and two
// copies started at the same moment cannot both see each other and both quit.
#include "app/Guard.h"

#include <windows.h>

#include "ui/Runtime.h"
#include "ui/Text.h"

namespace app {

bool IsAlreadyRunning() {
    static HANDLE instanceMutex = nullptr;
    std::wstring name = L"Local\\Lumeno.instance." + ui::Widen(ui::LowerAscii(ui::ExecutableName()));
    instanceMutex = CreateMutexW(nullptr, FALSE, name.c_str());
    return instanceMutex && GetLastError() == ERROR_ALREADY_EXISTS;
}

} // namespace app
