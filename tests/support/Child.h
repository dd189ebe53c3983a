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

} // namespace testsupport

#define LUMENO_CHILD_SCENARIO(name)                                                                \
    static int name##_scenario();                                                                  \
    static bool name##_registered = testsupport::RegisterScenario(#name, name##_scenario);         \
    static int name##_scenario()
