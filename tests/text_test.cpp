#include <gtest/gtest.h>

#include "ui/Text.h"

using ui::FindText;
using ui::ToNumber;

TEST(FindText, Table) {
    struct Case {
        const char* text;
        const char* sought;
        int start;
        bool ignoreCase;
        int expected;
    } cases[] = {
        {"Lumeno.exe", "lumeno.exe", 1, true, 1},
        {"Lumeno.exe", "lumeno.exe", 1, false, -1},
        {"a.exeLumeno.exe", "LUMENO.EXE", 1, true, 6},
        {"Lumeno.exeLumeno.exe", "lumeno.exe", 3, true, 11},
        {"", "x", 1, false, -1},
        {"abc", "", 1, false, -1},
        // 你 is C4 E3 in GBK; the search must not match on its second byte.
        {"你a", "\xE3" "a", 1, false, -1},
        {"你a", "a", 1, false, 3},
        {"你好", "好", 1, false, 3},
        {"abc", "c", 99, false, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindText(c.text, c.sought, c.start, c.ignoreCase), c.expected)
            << c.text << " / " << c.sought << " from " << c.start;
}

TEST(ToNumber, Table) {
    struct Case {
        const char* text;
        double expected;
    } cases[] = {
        {"", 0},         {"1.4", 1.4},       {"  1.5\r\n", 1.5}, {"1.40000001", 1.40000001},
        {"abc", 0},      {"8080/x", 8080},   {"-2.5e1x", -25},   {"1e", 1},
        {"\xA3\xB1\xA3\xAE\xA3\xB5", 1.5}, // full-width "１．５"
        {".5", 0.5},     {"-", 0},           {"+7", 7},
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(ToNumber(c.text), c.expected) << c.text;
}
