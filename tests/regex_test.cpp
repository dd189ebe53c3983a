// The regular-expression object. Every behaviour is checked on the scripting engine's own
// "VBScript.RegExp" and again on the built-in engine that stands in for it where it is missing.
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <windows.h>

#include <oleauto.h> // after windows.h, which it needs

#include "net/FallbackRegex.h"
#include "net/RegexObject.h"

using net::RegexObject;

namespace {

// A property of the engine, read by name, as a boolean.
bool EngineFlag(const RegexObject& regex, const wchar_t* name) {
    IDispatch* engine = regex.engine.get();
    DISPID id;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (!engine || FAILED(engine->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        return false;
    DISPPARAMS none{};
    VARIANT value;
    VariantInit(&value);
    engine->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr,
                   nullptr);
    bool on = V_VT(&value) == VT_BOOL && V_BOOL(&value) != VARIANT_FALSE;
    VariantClear(&value);
    return on;
}

const char* LookupPattern = "<p>卡号归属地：<em>(.*?)</em>   类型：<em>(.*?)</em> 区号：<em>(.*?)"
                            "</em>     邮政编码：<em>(.*?)</em></p>";

class Regex : public testing::TestWithParam<bool> {
  protected:
    void SetUp() override { net::ForceRegexFallback(GetParam()); }
    void TearDown() override { net::ForceRegexFallback(false); }
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Engines, Regex, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& engine) {
                             return engine.param ? "Fallback" : "VBScript";
                         });

// Each run uses the engine it says: the scripting engine exists here, and the built-in one shows
// its one documented limit (no back-references).
TEST_P(Regex, UsesTheIntendedEngine) {
    CLSID clsid;
    ASSERT_TRUE(SUCCEEDED(CLSIDFromProgID(L"VBScript.RegExp", &clsid)))
        << "VBScript.RegExp is missing from this Wine prefix";
    RegexObject regex;
    ASSERT_TRUE(regex.Create("(a)\\1"));
    EXPECT_EQ(regex.Execute("aa"), GetParam() ? 0 : 1);
}

TEST_P(Regex, CreateWithOnlyAPatternSetsAllFlags) {
    RegexObject regex;
    ASSERT_TRUE(regex.Create("^a"));
    EXPECT_TRUE(EngineFlag(regex, L"IgnoreCase"));
    EXPECT_TRUE(EngineFlag(regex, L"Multiline"));
    EXPECT_TRUE(EngineFlag(regex, L"Global"));

    // "A" at the start needs IgnoreCase, "a" after the line feed needs Multiline, both need Global.
    const ui::Text text = "Ab\nab";
    struct Case {
        std::optional<bool> ignoreCase, multiline, global;
        int count;
        const char* first;
    } cases[] = {
        {{}, {}, {}, 2, "A"},    {false, {}, {}, 1, "a"},    {{}, false, {}, 1, "A"},
        {{}, {}, false, 1, "A"}, {true, true, true, 2, "A"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(regex.Create("^a", c.ignoreCase, c.multiline, c.global));
        EXPECT_EQ(regex.Execute(text), c.count);
        EXPECT_EQ(regex.MatchText(1), c.first);
    }
    ASSERT_TRUE(regex.Create("^a", false, false, false));
    EXPECT_FALSE(EngineFlag(regex, L"IgnoreCase"));
    EXPECT_FALSE(EngineFlag(regex, L"Multiline"));
    EXPECT_FALSE(EngineFlag(regex, L"Global"));
}

TEST_P(Regex, EmptyObjectFailsQuietly) {
    RegexObject regex;
    EXPECT_EQ(regex.GetPattern(), "");
    EXPECT_EQ(regex.Execute("abc"), 0);
    EXPECT_EQ(regex.MatchCount(), 0);
    EXPECT_EQ(regex.MatchText(1), "");
    EXPECT_EQ(regex.SubMatchText(1, 1), "");
    EXPECT_EQ(regex.SubMatchCount(), 0);
    EXPECT_EQ(regex.Replace("abc", "x"), "");
}

TEST_P(Regex, PatternAndRestart) {
    RegexObject regex;
    ASSERT_TRUE(regex.Create("号码：(\\d+)"));
    EXPECT_EQ(regex.GetPattern(), "号码：(\\d+)");
    EXPECT_EQ(regex.SubMatchCount(), 0) << "before any Execute";
    EXPECT_EQ(regex.Execute("号码：123 号码：45"), 2);
    EXPECT_EQ(regex.SubMatchText(2, 1), "45");
    // A new Create starts again: no matches until the next Execute.
    ASSERT_TRUE(regex.Create("x"));
    EXPECT_EQ(regex.MatchCount(), 0);
    EXPECT_EQ(regex.MatchText(1), "");
}

TEST_P(Regex, SearchThatFindsNothing) {
    RegexObject regex;
    ASSERT_TRUE(regex.Create("<em>(.*?)</em>"));
    EXPECT_EQ(regex.Execute("no tags here"), 0);
    EXPECT_EQ(regex.MatchText(1), "");
    EXPECT_EQ(regex.SubMatchText(1, 1), "");
    EXPECT_EQ(regex.SubMatchCount(), 0);
}

TEST_P(Regex, FourGroupsOfTheLookupParagraph) {
    const ui::Text paragraph = "<p>卡号归属地：<em>北京 北京</em>   类型：<em>中国移动 GSM</em> "
                               "区号：<em>010</em>     邮政编码：<em>100000</em></p>";
    RegexObject regex;
    ASSERT_TRUE(regex.Create(LookupPattern));
    EXPECT_EQ(regex.Execute("<html><body>\n" + paragraph + "\n" + paragraph + "</body>"), 2);
    EXPECT_EQ(regex.MatchText(1), paragraph);
    EXPECT_EQ(regex.SubMatchCount(), 4);
    const char* expected[] = {"北京 北京", "中国移动 GSM", "010", "100000"};
    for (int j = 1; j <= 4; ++j)
        EXPECT_EQ(regex.SubMatchText(1, j), expected[j - 1]) << j;
    // Numbers beyond the matches or groups give the empty text.
    EXPECT_EQ(regex.SubMatchText(1, 5), "");
    EXPECT_EQ(regex.SubMatchText(1, 0), "");
    EXPECT_EQ(regex.SubMatchText(3, 1), "");
    EXPECT_EQ(regex.MatchText(0), "");
}

TEST_P(Regex, CopyAnswersAloneAfterward) {
    RegexObject a;
    ASSERT_TRUE(a.Create("(\\w)(\\d)"));
    ASSERT_EQ(a.Execute("a1 b2 c3"), 3);
    RegexObject b = a;
    EXPECT_EQ(b.MatchCount(), 3);
    EXPECT_EQ(b.MatchText(2), "b2");
    EXPECT_EQ(b.SubMatchText(3, 2), "3");
    EXPECT_EQ(b.Execute("x9"), 1);
    EXPECT_EQ(b.MatchText(1), "x9");
    EXPECT_EQ(a.MatchCount(), 3);
    EXPECT_EQ(a.MatchText(2), "b2");
    RegexObject c;
    c = a;
    ASSERT_TRUE(a.Create("q"));
    EXPECT_EQ(c.MatchCount(), 3);
    EXPECT_EQ(c.SubMatchText(1, 1), "a");
    EXPECT_EQ(c.Execute("d4"), 1);
    EXPECT_EQ(c.MatchText(1), "d4");
}

TEST_P(Regex, MatchingTable) {
    struct Case {
        const char* pattern;
        const char* text;
        int count;
        const char* first;  // the first match
        const char* group1; // its first group
    } cases[] = {
        {"<em>(.*?)</em>", "<em>a</em><em>b</em>", 2, "<em>a</em>", "a"},
        {"<em>(.*)</em>", "<em>a</em><em>b</em>", 1, "<em>a</em><em>b</em>", "a</em><em>b"},
        {"<EM>(.*?)</em>", "<em>x</EM>", 1, "<em>x</EM>", "x"},
        {"a(.*?)b", "a1\n2b", 0, "", ""}, // the dot stops at a line feed
        {"a(.+)", "a12\n34", 1, "a12", "12"},
        {"(a+?)", "aaa", 3, "a", "a"},
        {"(a?\?)b", "ab", 1, "ab", "a"},
        {"x(\\d{2,3})", "x1234", 1, "x123", "123"},
        {"x(\\d{2,3}?)", "x1234", 1, "x12", "12"},
        {"(cat|dog)s?", "Dogs and cats", 2, "Dogs", "Dog"},
        {"([^,]*),", "北京,上海,", 2, "北京,", "北京"},
        {"(.)", "你好", 2, "你", "你"},
        {"(\\s)", "a\tb", 1, "\t", "\t"},
        {"(b)$", "ab\ncb", 2, "b", "b"},
        {"\\bis\\b", "this is", 1, "is", ""},
        {"(a)|(b)", "b", 1, "b", ""}, // a group that took no part
        {"(", "(", 0, "", ""},        // an invalid pattern matches nothing
    };
    RegexObject regex;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " on " + c.text);
        ASSERT_TRUE(regex.Create(c.pattern));
        EXPECT_EQ(regex.Execute(c.text), c.count);
        EXPECT_EQ(regex.MatchText(1), c.first);
        EXPECT_EQ(regex.SubMatchText(1, 1), c.group1);
    }
}

TEST_P(Regex, ReplaceTable) {
    struct Case {
        const char* pattern;
        bool global;
        const char* source;
        const char* replacement;
        const char* expected;
    } cases[] = {
        {"a", true, "banana", "o", "bonono"},
        {"a", false, "banana", "o", "bonana"},
        {"(\\w+)@(\\w+)", true, "me@here", "$2 at $1", "here at me"},
        {"n", true, "banana", "[$&]", "ba[n]a[n]a"},
        {"x", true, "abc", "y", "abc"},
        {"省", true, "广东省", "", "广东"},
    };
    RegexObject regex;
    for (const Case& c : cases) {
        ASSERT_TRUE(regex.Create(c.pattern, true, true, c.global));
        EXPECT_EQ(regex.Replace(c.source, c.replacement), c.expected) << c.pattern;
    }
}

// ---- The built-in engine alone ----

namespace {

class Fallback : public testing::Test {
  protected:
    void SetUp() override { net::ForceRegexFallback(true); }
    void TearDown() override { net::ForceRegexFallback(false); }
};

ULONGLONG Elapsed(ULONGLONG since) {
    return GetTickCount64() - since;
}

} // namespace

TEST_F(Fallback, TenMegabytesFindTheParagraphAtTheEnd) {
    ui::Text text;
    text.reserve(size_t(10) << 20);
    while (text.size() < (size_t(10) << 20))
        text += "<p>卡号归属地：<em>不完整</em> <P>x<em>y</em>\n";
    text += "<p>卡号归属地：<em>广东 深圳</em>   类型：<em>移动</em> 区号：<em>0755</em>"
            "     邮政编码：<em>518000</em></p>";
    RegexObject regex;
    ASSERT_TRUE(regex.Create(LookupPattern));
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(regex.Execute(text), 1);
    EXPECT_EQ(regex.SubMatchText(1, 1), "广东 深圳");
    EXPECT_EQ(regex.SubMatchText(1, 4), "518000");
    EXPECT_LT(Elapsed(start), 30000u) << "a linear search takes a few seconds at most";
}

// Patterns that make a backtracking engine, or a naively iterated one, take exponential or
// quadratic time.
TEST_F(Fallback, HostilePatternsStayLinear) {
    const ui::Text as(size_t(10) << 20, 'a');
    struct Case {
        const char* pattern;
        int count;
    } cases[] = {
        {"(a*)*b", 0}, {"(a|aa)*c", 0}, {"a*b|a", 10 << 20}, {"(?:a|b)*?c|a", 10 << 20},
        {"(a+)+$", 1},
    };
    RegexObject regex;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        ASSERT_TRUE(regex.Create(c.pattern, false, false, true));
        ULONGLONG start = GetTickCount64();
        EXPECT_EQ(regex.Execute(as), c.count);
        EXPECT_LT(Elapsed(start), 20000u);
    }
}

TEST_F(Fallback, RandomPatternsNeverCrash) {
    std::mt19937 random(20240611);
    const char pieces[][4] = {"a", "b",  ".", "*", "+", "?", "(", ")",  "[",  "]",   "^",   "$",
                              "|", "\\", "{", "}", "2", ",", "-", "你", "?:", "\\d", "\\b", "\n"};
    RegexObject regex;
    ui::Text text;
    for (int n = 0; n < 20000; ++n)
        text += "ab你\n1"[random() % 5];
    for (int n = 0; n < 3000; ++n) {
        ui::Text pattern;
        for (int k = int(random() % 12); k > 0; --k)
            pattern += pieces[random() % std::size(pieces)];
        ASSERT_TRUE(regex.Create(pattern, random() % 2, random() % 2, true));
        int count = regex.Execute(text);
        ASSERT_GE(count, 0) << pattern;
        if (count > 0) regex.SubMatchText(count, 1);
    }
}

// The built-in engine agrees with the scripting engine on patterns both understand. Two things
// differ by design and stay out of the patterns: a group that captures inside a repetition (the
// scripting engine forgets its text on every new round), and a repeated or optional group that can
// match the empty text (the scripting engine refuses a round that makes no progress).
TEST_F(Fallback, AgreesWithTheScriptingEngine) {
    std::mt19937 random(7);
    auto pick = [&](std::initializer_list<const char*> list) {
        return ui::Text(list.begin()[random() % list.size()]);
    };
    // nonEmpty: every atom consumes, so a repetition of the whole always makes progress.
    std::function<ui::Text(int, bool, bool)> expression = [&](int depth, bool captures,
                                                              bool nonEmpty) -> ui::Text {
        ui::Text out;
        for (int k = 1 + int(random() % 3); k > 0; --k) {
            int kind = int(random() % 10);
            if (depth > 0 && kind == 0) {
                out += (captures ? "(" : "(?:") + expression(depth - 1, captures, nonEmpty) + ")";
            } else if (depth > 0 && kind == 1) {
                out += "(?:" + expression(depth - 1, false, true) + ")" +
                       (nonEmpty ? pick({"", "+", "+?", "{1,2}", "{2}"})
                                 : pick({"", "*", "+", "?", "*?", "+?", "??", "{1,2}", "{2}"}));
            } else if (kind == 2 && !nonEmpty) {
                out += pick({"^", "$", "\\b", "\\B"});
            } else {
                out += pick({"a", "b", "c", ".", "[ab]", "[^a]", "\\d", "你", "A"});
                out += nonEmpty ? pick({"", "", "+", "+?", "{1,2}", "{2}"})
                                : pick({"", "", "*", "+", "?", "*?", "+?", "??", "{1,2}", "{2}"});
            }
        }
        if (random() % 4 == 0) out += "|" + expression(depth, captures, nonEmpty);
        return out;
    };
    auto Results = [](RegexObject& regex, const ui::Text& text) {
        std::vector<ui::Text> out{std::to_string(regex.Execute(text))};
        for (int m = 1; m <= regex.MatchCount(); ++m)
            out.push_back(regex.MatchText(m));
        for (int g = 1; g <= regex.SubMatchCount(); ++g)
            out.push_back(regex.SubMatchText(1, g));
        return out;
    };
    int disagreements = 0;
    for (int n = 0; n < 5000 && disagreements < 10; ++n) {
        // Wine's scripting engine never returns from a global search with an empty match, so
        // every pattern ends in a character it must consume.
        ui::Text pattern =
            "(?:" + expression(2, true, false) + ")" + pick({"a", "b", ".", "1", "你"});
        ui::Text text;
        for (int k = int(random() % 16); k > 0; --k)
            text += pick({"a", "b", "c", "1", "你", "A", " ", "\n"});
        bool ignoreCase = random() % 2;
        RegexObject com, builtIn;
        net::ForceRegexFallback(false);
        ASSERT_TRUE(com.Create(pattern, ignoreCase, true, true));
        net::ForceRegexFallback(true);
        ASSERT_TRUE(builtIn.Create(pattern, ignoreCase, true, true));
        auto expected = Results(com, text), actual = Results(builtIn, text);
        if (expected != actual) {
            ++disagreements;
            ADD_FAILURE() << "pattern " << pattern << " on \"" << text << "\" ignoreCase "
                          << ignoreCase << ": " << expected.size() << " vs " << actual.size()
                          << " results, counts " << expected[0] << " vs " << actual[0];
        }
    }
}
