// Entry point of every test program: the run time is initialised once, as the start routine does.
// A program started with --child=NAME runs that registered scenario instead of the tests.
#include <gtest/gtest.h>

#include "support/Child.h"
#include "ui/Runtime.h"

int main(int argc, char** argv) {
    ui::Initialise();
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind("--child=", 0) == 0) return testsupport::RunScenario(argv[i] + 8);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
