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

namespace {
std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

int RunChildFrom(const std::wstring& path, const std::string& name, unsigned timeoutMs) {
    std::wstring line = L"\"" + path + L"\" --child=" + Wide(name);
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
} // namespace

std::wstring CopyOfThisProgram(const std::string& exeName) {
    wchar_t self[MAX_PATH], dir[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    GetTempPathW(MAX_PATH, dir);
    std::wstring copy = std::wstring(dir) + Wide(exeName);
    CopyFileW(self, copy.c_str(), FALSE);
    return copy;
}

int RunChild(const std::string& name, unsigned timeoutMs) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return RunChildFrom(self, name, timeoutMs);
}

int RunChildAs(const std::string& name, const std::string& exeName, unsigned timeoutMs) {
    return RunChildFrom(CopyOfThisProgram(exeName), name, timeoutMs);
}

} // namespace testsupport
