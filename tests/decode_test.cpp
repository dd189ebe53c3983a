#include <gtest/gtest.h>

#include "net/Decode.h"

// Inputs are UTF-8 bytes; expected values are narrow literals, which are GBK.
TEST(Decode, UrlDecodeUtf8Table) {
    struct Case {
        std::string input;
        std::string expected;
    } cases[] = {
        {"%E4%BD%A0", "你"},
        {"%e4%bd%a0", "你"},
        {"\xE4\xBD\xA0", "你"},            // raw UTF-8 decodes like its escapes
        {"%E4\xBD%A0%E5%A5%BD!", "你好!"}, // escapes and raw bytes mixed
        {"a%00b", "ab"},                   // a decoded zero byte is dropped
        {"ab%", "ab"},                     // a "%" at the very end
        {"ab%4", "ab@"},                   // one digit at the end: 16 x 4
        {"%%41", std::string("\x04"
                             "1")},     // the second "%" is consumed as a digit (0)
        {"a+b c/d?e=f", "a+b c/d?e=f"}, // ASCII without escapes comes back unchanged
        {"%zz%41", "A"},                // no hexadecimal digits: 0, a zero byte, dropped
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(net::UrlDecodeUtf8(c.input), c.expected) << c.input;
}

TEST(Decode, ConversionSteps) {
    EXPECT_EQ(net::Utf8ToAnsi("\xE4\xBD\xA0\xE5\xA5\xBD"), "你好");
    EXPECT_EQ(net::Utf8ToAnsi(""), "");
    // UTF-16LE units, read up to the first zero unit.
    EXPECT_EQ(net::Utf16ToAnsi(std::string("\x60\x4F\x7D\x59", 4)), "你好");
    EXPECT_EQ(net::Utf16ToAnsi(std::string("A\0B\0\0\0C\0", 8)), "AB");
    EXPECT_EQ(net::Utf16ToAnsi(std::string("A\0B", 3)), "A"); // a lone last byte is no unit
    // A character GBK lacks becomes a replacement, never an error or a cut.
    std::string euro = net::Utf8ToAnsi("a\xF0\x9F\x98\x80"
                                       "b");
    EXPECT_EQ(euro.front(), 'a');
    EXPECT_EQ(euro.back(), 'b');
    EXPECT_GT(euro.size(), 2u);
}
