#include "support/Child.h"

#include <map>
#include <windows.h>

namespace testsupport {
namespace {
std::map<std::string, Scenario>& Scenarios() {
    static std::map<std::string, Scenario> scenarios;
    return scenarios;
}
} // namespace

bool RegisterScenario(const char* name, Scenario scenario) {
    Scenarios()[name] = scenario;
    return true;
}

int RunScenario(const std::string& name) {
    auto it = Scenarios().find(name);
    return it == Scenarios().end() ? 99 : it->second();
}

int RunChild(const std::string& name, unsigned timeoutMs) {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(path) + L"\" --child=" + std::wstring(name.begin(), name.end());
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -2;
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    else TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return int(code);
}

} // namespace testsupport
