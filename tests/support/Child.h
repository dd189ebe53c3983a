// Scenarios that must end their process (exit, a second instance) run in a child copy of the
// test program; the parent starts it and reads its exit code.
#pragma once
#include <string>

namespace testsupport {

using Scenario = int (*)();
bool RegisterScenario(const char* name, Scenario scenario);
int RunScenario(const std::string& name);

// Starts this test program with --child=name, waits at most timeoutMs; returns its exit code,
// or -1 when it did not end in time (it is then killed).
int RunChild(const std::string& name, unsigned timeoutMs = 20000);

// The same, from a copy of this test program under another executable name (in the temporary
// folder), so the single-instance guard sees a different program.
int RunChildAs(const std::string& name, const std::string& exeName, unsigned timeoutMs = 20000);

// Path of a copy of this test program named exeName in the temporary folder (made once).
std::wstring CopyOfThisProgram(const std::string& exeName);

} // namespace testsupport

#define LUMENO_CHILD_SCENARIO(name)                                                                \
    static int name##_scenario();                                                                  \
    static bool name##_registered = testsupport::RegisterScenario(#name, name##_scenario);         \
    static int name##_scenario()
